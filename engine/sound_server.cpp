// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound_server.h"

#include <unistd.h>

#include <cstring>
#include <string>

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/subscribe.h>

namespace zent {
namespace {

constexpr auto kReconnectPeriod = std::chrono::seconds(2);

// The stack's own streams of a call (its playback and capture streams are
// named so), not the client's tones in the same process.
bool IsCallStream(pa_proplist* props) {
    const char* name = pa_proplist_gets(props, PA_PROP_MEDIA_NAME);
    const char* pid = pa_proplist_gets(props, PA_PROP_APPLICATION_PROCESS_ID);
    return name && pid && std::strcmp(name, "phone") == 0 && std::to_string(getpid()) == pid;
}

}  // namespace

// One connection with its own (unthreaded) main loop, run only from Poll.
struct SoundServer::State {
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    bool ready = false;
    bool failed = false;
    int pending = 0;  // queries on their way: what is known is not whole yet
    std::string sink, source;
    Defaults known;

    ~State() {
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop) pa_mainloop_free(loop);
    }

    void Track(pa_operation* op) {
        if (!op) return;
        ++pending;
        pa_operation_unref(op);
    }

    // The server's defaults by name, then each one's description.
    void Query() { Track(pa_context_get_server_info(context, &State::OnServer, this)); }

    static void OnState(pa_context* c, void* data) {
        auto* self = static_cast<State*>(data);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            self->ready = true;
            pa_context_set_subscribe_callback(c, &State::OnEvent, self);
            pa_operation_unref(pa_context_subscribe(
                c,
                static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK |
                                                    PA_SUBSCRIPTION_MASK_SOURCE),
                nullptr, nullptr));
            self->Query();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED: self->failed = true; break;
        default: break;
        }
    }

    static void OnEvent(pa_context*, pa_subscription_event_type_t type, uint32_t, void* data) {
        auto* self = static_cast<State*>(data);
        const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const unsigned what = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
            self->Query();
        } else if (what != PA_SUBSCRIPTION_EVENT_CHANGE) {  // a device came or went
            ++self->known.devices;
            self->Query();
        }
    }

    static void OnServer(pa_context* c, const pa_server_info* info, void* data) {
        auto* self = static_cast<State*>(data);
        --self->pending;
        if (!info) return;
        self->sink = info->default_sink_name ? info->default_sink_name : "";
        self->source = info->default_source_name ? info->default_source_name : "";
        self->known.playback.clear();
        self->known.capture.clear();
        if (!self->sink.empty())
            self->Track(pa_context_get_sink_info_by_name(c, self->sink.c_str(), &State::OnSink, self));
        if (!self->source.empty())
            self->Track(pa_context_get_source_info_by_name(c, self->source.c_str(), &State::OnSource, self));
        // A call under way moves with the defaults. The server moves a
        // stream between devices without a gap; the stack would stop and
        // start the call's whole audio for it.
        pa_operation_unref(pa_context_get_sink_input_info_list(c, &State::OnPlayback, self));
        pa_operation_unref(pa_context_get_source_output_info_list(c, &State::OnCapture, self));
    }

    static void OnPlayback(pa_context* c, const pa_sink_input_info* info, int eol, void* data) {
        auto* self = static_cast<State*>(data);
        if (eol || !info || self->sink.empty() || !IsCallStream(info->proplist)) return;
        pa_operation_unref(pa_context_move_sink_input_by_name(c, info->index, self->sink.c_str(), nullptr, nullptr));
    }

    static void OnCapture(pa_context* c, const pa_source_output_info* info, int eol, void* data) {
        auto* self = static_cast<State*>(data);
        if (eol || !info || self->source.empty() || !IsCallStream(info->proplist)) return;
        pa_operation_unref(
            pa_context_move_source_output_by_name(c, info->index, self->source.c_str(), nullptr, nullptr));
    }

    static void OnSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
        auto* self = static_cast<State*>(data);
        if (eol) {
            --self->pending;
        } else if (info && info->description) {
            self->known.playback = info->description;
        }
    }

    static void OnSource(pa_context*, const pa_source_info* info, int eol, void* data) {
        auto* self = static_cast<State*>(data);
        if (eol) {
            --self->pending;
        } else if (info && info->description) {
            self->known.capture = info->description;
        }
    }
};

SoundServer::SoundServer() = default;
SoundServer::~SoundServer() = default;

bool SoundServer::Poll(std::chrono::milliseconds wait) {
    const auto now = std::chrono::steady_clock::now();
    if (!state_) {
        if (now < next_connect_) return false;
        next_connect_ = now + kReconnectPeriod;
        state_ = std::make_unique<State>();
        state_->loop = pa_mainloop_new();
        state_->context = state_->loop ? pa_context_new(pa_mainloop_get_api(state_->loop), "zent_softphone") : nullptr;
        if (state_->context) pa_context_set_state_callback(state_->context, &State::OnState, state_.get());
        if (!state_->context || pa_context_connect(state_->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            state_.reset();
            return false;
        }
    }
    // Everything that has arrived; then, up to the wait, the answers to
    // queries on their way.
    for (int i = 0; i < 64 && pa_mainloop_iterate(state_->loop, 0, nullptr) > 0; ++i) {}
    const auto until = now + wait;
    while (!state_->failed && (!state_->ready || state_->pending > 0)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (pa_mainloop_prepare(state_->loop, static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(state_->loop) < 0 || pa_mainloop_dispatch(state_->loop) < 0)
            break;
    }
    if (state_->failed) {
        state_.reset();
        next_connect_ = now + kReconnectPeriod;
        return false;
    }
    if (!state_->ready || state_->pending > 0 || state_->known == reported_) return false;
    reported_ = state_->known;
    return true;
}

}  // namespace zent
