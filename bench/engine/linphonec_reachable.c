/* SPDX-License-Identifier: GPL-3.0-or-later */
/* Preloaded into linphonec by the benchmark: linphonec never tells its core
 * that the network is up and never opens its SIP port on a machine like ours.
 * The first iteration of the core does both. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linphone/core.h>

void linphone_core_iterate(LinphoneCore* lc) {
    static void (*real)(LinphoneCore*) = 0;
    static int done = 0;
    if (!real) real = (void (*)(LinphoneCore*))dlsym(RTLD_NEXT, "linphone_core_iterate");
    if (!done) {
        done = 1;
        linphone_core_set_network_reachable(lc, TRUE);
        /* and then it does not open its configured port either: apply it again */
        LinphoneTransports* t = linphone_core_get_transports(lc);
        int udp = linphone_transports_get_udp_port(t);
        linphone_transports_set_udp_port(t, 0);
        linphone_core_set_transports(lc, t);
        linphone_transports_set_udp_port(t, udp);
        linphone_core_set_transports(lc, t);
        linphone_transports_unref(t);
    }
    real(lc);
}
