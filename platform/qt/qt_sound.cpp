// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_sound.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPointer>
#include <QWaveDecoder>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/executable.h"
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

// Hands a tone's samples to the sound server, from the start again at the
// end when it loops.
class ToneReader final : public QIODevice {
public:
    ToneReader(const QByteArray& samples, bool loop, QObject* parent)
        : QIODevice(parent), samples_(samples), loop_(loop && !samples.isEmpty()) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return !loop_ && at_ >= samples_.size(); }
    qint64 bytesAvailable() const override {
        return (loop_ ? samples_.size() : samples_.size() - at_) + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* out, qint64 max) override {
        qint64 done = 0;
        while (done < max) {
            if (at_ >= samples_.size()) {
                if (!loop_) break;
                at_ = 0;
            }
            const qint64 n = std::min(max - done, qint64(samples_.size()) - at_);
            std::memcpy(out + done, samples_.constData() + at_, size_t(n));
            done += n;
            at_ += n;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray samples_;
    const bool loop_;
    qint64 at_ = 0;
};

// Each file is read and decoded on its first play and kept: a key press
// then only opens a stream for samples in memory. (A sound effect made per
// play loaded, decoded and set up its output first, and started late.) Each
// play gets a stream of its own: an output of Qt 6.4 that is stopped and
// started again at once sometimes stays silent.
class TonePlayer final : public Sound {
public:
    void Play(const std::string& path, bool loop) override {
        Stop();
        const Tone* tone = Load(QFileInfo(QFromAnsi(NativePath(DataFile(path)))).absoluteFilePath());
        const QAudioDevice speaker = QMediaDevices::defaultAudioOutput();
        if (!tone || speaker.isNull()) return;
        // Owned by the application, which outlives the calls here.
        auto* out = new QAudioSink(speaker, tone->format, qApp);
        auto* reader = new ToneReader(tone->samples, loop, out);
        QObject::connect(out, &QAudioSink::stateChanged, out, [this, out, reader](QAudio::State state) {
            // All handed over (or the stream failed): this play is over.
            const bool over = (state == QAudio::IdleState && reader->atEnd()) ||
                              (state == QAudio::StoppedState && out->error() != QAudio::NoError);
            if (over && playing_ == out) Stop();
        });
        playing_ = out;
        out->start(reader);
    }

    void Stop() override {
        QAudioSink* out = playing_;
        playing_ = nullptr;
        if (!out) return;
        out->disconnect();
        out->stop();
        out->deleteLater();
    }

private:
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

    std::map<QString, Tone> tones_;
    QPointer<QAudioSink> playing_;
};

}  // namespace

Sound& QtSound() {
    static TonePlayer player;
    return player;
}

}  // namespace platform
