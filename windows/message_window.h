// SPDX-License-Identifier: GPL-3.0-or-later
// A chat window for one peer's SIP text messages.
#pragma once
#include <QWidget>

class TfrmMessage : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMessage(QWidget* parent = nullptr);
    ~TfrmMessage() override;
};

extern TfrmMessage* frmMessage;
