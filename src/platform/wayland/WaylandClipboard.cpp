#include "platform/wayland/WaylandClipboard.h"

#include "platform/wayland/WaylandConnection.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <QElapsedTimer>
#include <unistd.h>
#include <wayland-client.h>

struct DataControlListeners
{
    static WaylandClipboard* self(void* data) { return static_cast<WaylandClipboard*>(data); }

    static void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type)
    {
        WaylandClipboard* c = self(data);
        if (offer == c->m_incoming)
            c->m_incomingTypes << QString::fromUtf8(type);
    }
    static void dataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
    {
        static const zwlr_data_control_offer_v1_listener listener = {offerType};
        WaylandClipboard* c = self(data);
        if (c->m_incoming)
            zwlr_data_control_offer_v1_destroy(c->m_incoming);
        c->m_incoming = offer;
        c->m_incomingTypes.clear();
        zwlr_data_control_offer_v1_add_listener(offer, &listener, c);
    }
    static void selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
    {
        WaylandClipboard* c = self(data);
        c->clearOffer();
        if (offer && offer == c->m_incoming) {
            c->m_offer = offer;
            c->m_offerTypes = c->m_incomingTypes;
            c->m_incoming = nullptr;
        } else if (offer) {
            zwlr_data_control_offer_v1_destroy(offer);
        }
    }
    static void finished(void* data, zwlr_data_control_device_v1* device)
    {
        WaylandClipboard* c = self(data);
        zwlr_data_control_device_v1_destroy(device);
        c->m_device = nullptr;
    }
    static void primarySelection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
    {
        // Rondix uses the clipboard only.
        if (offer)
            zwlr_data_control_offer_v1_destroy(offer);
    }
    static void send(void* data, zwlr_data_control_source_v1*, const char*, int32_t fd)
    {
        self(data)->writeTo(fd);
        close(fd);
    }
    static void cancelled(void* data, zwlr_data_control_source_v1* source)
    {
        WaylandClipboard* c = self(data);
        zwlr_data_control_source_v1_destroy(source);
        if (c->m_source == source)
            c->m_source = nullptr;
    }
};

WaylandClipboard::WaylandClipboard(WaylandConnection* conn, zwlr_data_control_manager_v1* manager, QObject* parent)
    : Clipboard(parent)
    , m_conn(conn)
    , m_manager(manager)
{
    if (m_conn->seat()) {
        m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_conn->seat());
        static const zwlr_data_control_device_v1_listener listener = {
            DataControlListeners::dataOffer, DataControlListeners::selection, DataControlListeners::finished,
            DataControlListeners::primarySelection};
        zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
    }
}

WaylandClipboard::~WaylandClipboard()
{
    clearOffer();
    if (m_incoming)
        zwlr_data_control_offer_v1_destroy(m_incoming);
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    if (m_manager)
        zwlr_data_control_manager_v1_destroy(m_manager);
}

const QStringList& WaylandClipboard::textTypes()
{
    static const QStringList types = {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain"),
                                      QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"),
                                      QStringLiteral("TEXT")};
    return types;
}

void WaylandClipboard::clearOffer()
{
    if (m_offer)
        zwlr_data_control_offer_v1_destroy(m_offer);
    m_offer = nullptr;
    m_offerTypes.clear();
}

void WaylandClipboard::setText(const QString& text)
{
    if (!m_device)
        return;
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    m_text = text.toUtf8();
    m_source = zwlr_data_control_manager_v1_create_data_source(m_manager);
    static const zwlr_data_control_source_v1_listener listener = {DataControlListeners::send,
                                                                  DataControlListeners::cancelled};
    zwlr_data_control_source_v1_add_listener(m_source, &listener, this);
    for (const QString& type : textTypes())
        zwlr_data_control_source_v1_offer(m_source, type.toUtf8().constData());
    zwlr_data_control_device_v1_set_selection(m_device, m_source);
    // The selection is ours once the compositor has it; a paste right after
    // must not find the old one.
    m_conn->roundtrip();
}

void WaylandClipboard::writeTo(int fd)
{
    // Texts are small; a reader that stops reading is given up on.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    qsizetype written = 0;
    QElapsedTimer timer;
    timer.start();
    while (written < m_text.size() && !timer.hasExpired(kReadTimeoutMs)) {
        const ssize_t n = write(fd, m_text.constData() + written, size_t(m_text.size() - written));
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 50);
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
}

QString WaylandClipboard::text()
{
    if (m_source)
        return QString::fromUtf8(m_text);
    m_conn->roundtrip();
    if (!m_offer)
        return {};
    QString type;
    for (const QString& t : textTypes())
        if (m_offerTypes.contains(t)) {
            type = t;
            break;
        }
    if (type.isEmpty())
        return {};
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    zwlr_data_control_offer_v1_receive(m_offer, type.toUtf8().constData(), fds[1]);
    close(fds[1]);
    m_conn->flush();
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    char buf[4096];
    while (!timer.hasExpired(kReadTimeoutMs)) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n > 0)
            data.append(buf, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    return QString::fromUtf8(data);
}
