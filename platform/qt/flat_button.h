// SPDX-License-Identifier: GPL-3.0-or-later
// The forms' buttons: flat until the pointer is over them, and never taking
// the keyboard focus away from the number or message being typed.
#pragma once
#include <QString>
#include <QToolButton>

inline QToolButton* FlatButton(QWidget* parent, const QString& text, const QString& hint = QString()) {
    auto* b = new QToolButton(parent);
    b->setAutoRaise(true);
    b->setText(text);
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}
