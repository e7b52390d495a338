/* SPDX-License-Identifier: GPL-3.0-or-later */
/* Preloaded into linphonec by the benchmarks: writes the wall-clock time
 * (ms since the epoch) at which linphonec's own stack reports a
 * registration as done and a call as connected, one line each, to the file
 * named by LINPHONEC_TIMING_FILE. So linphonec is timed at the same point
 * as the engine (its callback), not by polling its console. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linphone/core.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static void Note(const char* what) {
    const char* path = getenv("LINPHONEC_TIMING_FILE");
    if (!path) return;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    FILE* f = fopen(path, "a");
    if (!f) return;
    fprintf(f, "%s %.3f\n", what, now.tv_sec * 1e3 + now.tv_nsec / 1e6);
    fclose(f);
}

static void OnRegistration(LinphoneCore* lc, LinphoneProxyConfig* cfg, LinphoneRegistrationState state,
                           const char* message) {
    (void)lc, (void)cfg, (void)message;
    if (state == LinphoneRegistrationOk) Note("registered");
}

static void OnCall(LinphoneCore* lc, LinphoneCall* call, LinphoneCallState state, const char* message) {
    (void)lc, (void)call, (void)message;
    if (state == LinphoneCallConnected) Note("connected");
}

/* linphonec drives its core with iterate; the first call adds our callbacks. */
void linphone_core_iterate(LinphoneCore* lc) {
    static void (*real)(LinphoneCore*) = 0;
    static int done = 0;
    if (!real) real = (void (*)(LinphoneCore*))dlsym(RTLD_NEXT, "linphone_core_iterate");
    if (!done) {
        done = 1;
        LinphoneCoreCbs* cbs = linphone_factory_create_core_cbs(linphone_factory_get());
        linphone_core_cbs_set_registration_state_changed(cbs, OnRegistration);
        linphone_core_cbs_set_call_state_changed(cbs, OnCall);
        linphone_core_add_callbacks(lc, cbs);
        linphone_core_cbs_unref(cbs);
    }
    real(lc);
}
