// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_sound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <QWaveDecoder>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/executable.h"
#include "platform/qt/default_output.h"
#include "platform/qt/qt_text.h"
#include "platform/sound.h"
#include "platform/user_files.h"

namespace platform {
namespace {

// A tone file's samples, decoded once.
struct Tone {
    QAudioFormat format;
    QByteArray samples;
};

// Each tone is written to the sound server as a whole (a loop: a second
// ahead, topped up while it plays), so it starts as soon as the stream is
// open. (A stream that pulls its samples gets them a 20 ms piece per turn of
// the event loop and starts only once the server holds them all: on a busy
// machine a key's tone came a second late, or not at all.) Files are read
// and decoded once, the whole folder at the first play. Each play gets a
// stream of its own, closed when it ends: an output of Qt 6.4 that is stopped
// and started again at once sometimes stays silent, and an open output costs
// wake-ups while the client is idle.
//
// A stopped output is deleted only once the next one has opened. Qt 6.4's
// PulseAudio output answers the server's "ran dry" with a drain whose answer
// it hands to the output object, on its own thread; an output deleted before
// that answer arrived is written to after it was freed. The two meet when the
// end of a tone and a stop with no new tone after it come together: a frozen
// or suspended process whose end-of-tone timer and the server's notice wake
// it at once (a new tone's opening waits for the server, so the old output
// was still there for the answer). The server answers in order, so once a
// later stream is open every answer about the older ones has been handled.
class TonePlayer final : public Sound {
public:
    // Asks the server for its default now: the first ring knows it.
    TonePlayer() { DefaultOutputName(); }

    void Play(const std::string& path, bool loop) override {
        Stop();
        const QFileInfo file(QFromAnsi(NativePath(DataFile(path))));
        const Tone* tone = Load(file.absoluteFilePath());
        if (!preloaded_) Preload(file.absolutePath());
        const QAudioDevice speaker = Speaker();
        if (!tone || tone->samples.isEmpty() || speaker.isNull()) return;
        const qsizetype ahead = tone->format.bytesForDuration(kAheadUs);
        auto* out = new QAudioSink(speaker, tone->format, qApp);  // the application outlives the calls here
        // The server starts playing once it holds this much.
        out->setBufferSize(loop ? std::min(ahead, tone->samples.size()) : tone->samples.size());
        QIODevice* io = out->start();
        if (!io) {
            out->deleteLater();  // it never had a stream
            return;
        }
        for (const QPointer<QAudioSink>& old : stopped_)
            if (old) old->deleteLater();
        stopped_.clear();
        playing_ = out;
        io_ = io;
        tone_ = tone;
        loop_ = loop;
        at_ = 0;
        Write(loop ? std::max(ahead, out->bytesFree()) : tone->samples.size());
        QObject::connect(out, &QAudioSink::stateChanged, out, [this, out](QAudio::State state) {
            // Played out (or the stream failed): this play is over.
            if (playing_ == out && (state == QAudio::StoppedState || (state == QAudio::IdleState && !loop_))) Stop();
        });
        const qint64 ms = tone->format.durationForBytes(qint32(tone->samples.size())) / 1000;
        auto* tick = new QTimer(out);
        tick_ = tick;
        if (loop) {
            QObject::connect(tick, &QTimer::timeout, out, [this, out] {
                if (playing_ == out) Write(out->bytesFree());
            });
            tick->start(kTopUpMs);
        } else {
            // Ends the play should the server not report its end.
            tick->setSingleShot(true);
            QObject::connect(tick, &QTimer::timeout, out, [this, out] {
                if (playing_ == out) Stop();
            });
            tick->start(int(ms) + kGraceMs);
        }
    }

    void Stop() override {
        QAudioSink* out = playing_;
        playing_ = nullptr;
        io_ = nullptr;
        tone_ = nullptr;
        if (!out) return;
        if (tick_) tick_->stop();  // a stopped output costs no wake-ups while it waits
        out->disconnect();
        out->stop();
        stopped_.push_back(out);
    }

private:
    // The server's default device now (a headset chosen since the start),
    // else the one Qt took for the default.
    static QAudioDevice Speaker() {
        const QByteArray name = DefaultOutputName();
        if (!name.isEmpty())
            for (const QAudioDevice& device : QMediaDevices::audioOutputs())
                if (device.id() == name) return device;
        return QMediaDevices::defaultAudioOutput();
    }

    static constexpr qint64 kAheadUs = 1'000'000;  // a loop's samples queued ahead of the speaker
    static constexpr int kTopUpMs = 250;
    static constexpr int kGraceMs = 1000;

    // Hands the server `bytes` more of the tone, from the start again when it loops.
    void Write(qint64 bytes) {
        while (bytes > 0 && io_ && tone_) {
            const QByteArray& samples = tone_->samples;
            if (at_ >= samples.size()) {
                if (!loop_) return;
                at_ = 0;
            }
            const qint64 n = std::min(bytes, qint64(samples.size()) - at_);
            const qint64 done = io_->write(samples.constData() + at_, n);
            if (done <= 0) return;
            at_ += done;
            bytes -= done;
        }
    }

    const Tone* Load(const QString& file) {
        if (auto it = tones_.find(file); it != tones_.end()) return &it->second;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return nullptr;  // tried again next time
        QBuffer bytes;
        bytes.setData(f.readAll());
        bytes.open(QIODevice::ReadOnly);
        QWaveDecoder wave(&bytes);
        if (!wave.open(QIODevice::ReadOnly) || !wave.audioFormat().isValid()) return nullptr;
        Tone tone{wave.audioFormat(), wave.readAll()};
        return &tones_.emplace(file, std::move(tone)).first->second;
    }

    // The other tones of the folder, once the first play has begun: a key's
    // first press then reads nothing from the disk.
    void Preload(const QString& folder) {
        preloaded_ = true;
        QTimer::singleShot(0, qApp, [this, folder] {
            for (const QFileInfo& f : QDir(folder).entryInfoList({"*.wav"}, QDir::Files)) Load(f.absoluteFilePath());
        });
    }

    std::map<QString, Tone> tones_;
    bool preloaded_ = false;
    QPointer<QAudioSink> playing_;
    QPointer<QTimer> tick_;                      // playing_'s top-up or end timer
    std::vector<QPointer<QAudioSink>> stopped_;  // stopped, kept until a later stream opens
    QIODevice* io_ = nullptr;  // owned by playing_
    const Tone* tone_ = nullptr;
    bool loop_ = false;
    qint64 at_ = 0;
};

}  // namespace

Sound& QtSound() {
    static TonePlayer player;
    return player;
}

}  // namespace platform
