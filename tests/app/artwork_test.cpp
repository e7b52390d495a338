// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures are compiled in and the tones sit where the client looks.
#include <QLabel>

#include <fstream>
#include <string>

#include "tests/app/main_window_fixture.h"

namespace {

TEST_F(MainWindowTest, StatePicturesAndKeypadAreThere) {
    TfrmMain& w = Main();
    EXPECT_EQ(w.ImageBusy->pixmap().size(), QSize(96, 32));
    EXPECT_EQ(w.ImageFree->pixmap().size(), QSize(96, 32));
    EXPECT_EQ(w.Image1->pixmap().size(), QSize(98, 138));
    EXPECT_FALSE(w.windowIcon().isNull());
}

TEST(ToneFilesTest, EveryToneIsAWaveFileInTheSoundFolder) {
    std::vector<std::string> names = {"login", "ring", "hangup"};
    for (int i = 0; i <= 11; ++i) names.push_back("DTMF" + std::to_string(i));
    for (const std::string& n : names) {
        std::ifstream in(std::string(RAVELO_SOUND_DIR) + "/" + n + ".wav", std::ios::binary);
        ASSERT_TRUE(in) << n;
        char head[12] = {};
        in.read(head, sizeof head);
        EXPECT_EQ(std::string(head, 4), "RIFF") << n;
        EXPECT_EQ(std::string(head + 8, 4), "WAVE") << n;
    }
}

}  // namespace
