// SPDX-License-Identifier: GPL-3.0-or-later
// The call-control form: the only owner of the softphone engine.
#pragma once
#include <QWidget>

class TfrmCall : public QWidget {
    Q_OBJECT
public:
    explicit TfrmCall(QWidget* parent = nullptr);
    ~TfrmCall() override;
};

extern TfrmCall* frmCall;
