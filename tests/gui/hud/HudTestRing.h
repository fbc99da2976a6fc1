#pragma once

#include "model/RingProfile.h"

// A ring for drawing tests: 0 volume up, 1 copy shortcut, 2 disabled slot,
// 4 lock screen, 6 open URL; the rest empty.
inline RingProfile hudTestRing(const QString& name = QStringLiteral("Test"))
{
    auto slot = [](qint64 index, const QString& title, const QString& symbol, const ActionType& action,
                   bool enabled = true) {
        return ActionSlot{QUuid::createUuid(), index, title, IconInfo::sfSymbol(symbol), action, enabled};
    };
    QList<ActionSlot> slots{
        slot(0, QStringLiteral("Volume"), QStringLiteral("speaker.wave.3.fill"),
             ActionType::systemControl(SystemControlAction::volumeUp)),
        slot(1, QStringLiteral("Copy"), QStringLiteral("doc.on.doc"),
             ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{false, false, true, false})),
        slot(2, QStringLiteral("Off"), QStringLiteral("star"), ActionType::openURL(QStringLiteral("x")),
             false),
        ActionSlot::empty(3),
        slot(4, QStringLiteral("Lock"), QStringLiteral("lock.fill"),
             ActionType::systemControl(SystemControlAction::lockScreen)),
        ActionSlot::empty(5),
        slot(6, QStringLiteral("A very long title indeed"), QStringLiteral("globe"),
             ActionType::openURL(QStringLiteral("https://example.org"))),
        ActionSlot::empty(7),
    };
    return RingProfile(QUuid::createUuid(), name, std::nullopt, std::nullopt, slots, false);
}
