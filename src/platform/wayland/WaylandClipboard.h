#pragma once

#include "platform/Clipboard.h"

#include <QByteArray>
#include <QStringList>

class WaylandConnection;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The seat's clipboard through data control (wlroots, KWin): Rondix owns the
// selection without having the keyboard focus, which it never has.
class WaylandClipboard : public Clipboard
{
    Q_OBJECT
public:
    static constexpr int kReadTimeoutMs = 1000;

    WaylandClipboard(WaylandConnection* conn, zwlr_data_control_manager_v1* manager, QObject* parent = nullptr);
    ~WaylandClipboard() override;

    void setText(const QString& text) override;
    QString text() override;

    // The types a text selection is offered as, preferred first.
    static const QStringList& textTypes();

private:
    void clearOffer();
    void writeTo(int fd);

    WaylandConnection* m_conn;
    zwlr_data_control_manager_v1* m_manager;
    zwlr_data_control_device_v1* m_device = nullptr;
    zwlr_data_control_source_v1* m_source = nullptr;
    QByteArray m_text;           // what Rondix offers while its source is the selection
    zwlr_data_control_offer_v1* m_offer = nullptr;       // the current selection
    zwlr_data_control_offer_v1* m_incoming = nullptr;    // introduced, not yet selected
    QStringList m_offerTypes, m_incomingTypes;

    friend struct DataControlListeners;
};
