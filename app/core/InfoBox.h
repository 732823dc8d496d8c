#pragma once

#include <QString>

// The program's common notice: a modal information box titled "提示：" with
// one "确 定" button (both translated). text comes translated from the
// caller; styleSheet, when given, styles the box.
void showInfoBox(const QString& text, const QString& styleSheet = QString());
