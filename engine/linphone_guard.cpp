// SPDX-License-Identifier: GPL-3.0-or-later
// A guard around one fault of the SIP stack (liblinphone 5.1). For a received
// text message it makes an address of the sender and frees it without
// looking: when the sender is not a SIP address (a tel: URI), there is none,
// and the free crashes the whole program. The stack calls its own
// linphone_address_unref through the dynamic symbol table, and this library
// is looked up before it, so this definition is the one called: it takes a
// missing address quietly and hands every other one to the stack's own.
#include <dlfcn.h>

#include <linphone/core.h>

extern "C" __attribute__((visibility("default"))) void linphone_address_unref(LinphoneAddress* address) {
    using Unref = void (*)(LinphoneAddress*);
    static const Unref stack = reinterpret_cast<Unref>(dlsym(RTLD_NEXT, "linphone_address_unref"));
    if (address && stack) stack(address);
}
