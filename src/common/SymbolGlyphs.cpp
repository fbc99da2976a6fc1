#include "common/SymbolGlyphs.h"

#include <QFontDatabase>
#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace {

// Symbol name (the names stored in ring data) -> Material Icons ligature.
// Closest visual match; filled/outlined variants share a glyph where the font
// has only one.
const QHash<QString, QString>& table()
{
    static const QHash<QString, QString> map = {
        {QStringLiteral("1.circle"), QStringLiteral("looks_one")},
        {QStringLiteral("2.circle"), QStringLiteral("looks_two")},
        {QStringLiteral("3.circle"), QStringLiteral("looks_3")},
        {QStringLiteral("4.circle"), QStringLiteral("looks_4")},
        {QStringLiteral("5.circle"), QStringLiteral("looks_5")},
        {QStringLiteral("6.circle"), QStringLiteral("looks_6")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("content_copy")},
        {QStringLiteral("doc.on.doc.fill"), QStringLiteral("content_copy")},
        {QStringLiteral("doc.on.clipboard"), QStringLiteral("content_paste")},
        {QStringLiteral("doc.on.clipboard.fill"), QStringLiteral("content_paste")},
        {QStringLiteral("scissors"), QStringLiteral("content_cut")},
        {QStringLiteral("pencil"), QStringLiteral("edit")},
        {QStringLiteral("highlighter"), QStringLiteral("highlight")},
        {QStringLiteral("trash"), QStringLiteral("delete")},
        {QStringLiteral("plus"), QStringLiteral("add")},
        {QStringLiteral("minus"), QStringLiteral("remove")},
        {QStringLiteral("xmark"), QStringLiteral("close")},
        {QStringLiteral("checkmark"), QStringLiteral("check")},
        {QStringLiteral("square.and.pencil"), QStringLiteral("edit_note")},
        {QStringLiteral("folder"), QStringLiteral("folder")},
        {QStringLiteral("folder.fill"), QStringLiteral("folder")},
        {QStringLiteral("tray"), QStringLiteral("inbox")},
        {QStringLiteral("archivebox"), QStringLiteral("archive")},
        {QStringLiteral("doc.text"), QStringLiteral("description")},
        {QStringLiteral("list.bullet"), QStringLiteral("format_list_bulleted")},
        {QStringLiteral("desktopcomputer"), QStringLiteral("desktop_windows")},
        {QStringLiteral("macwindow"), QStringLiteral("web_asset")},
        {QStringLiteral("lock"), QStringLiteral("lock")},
        {QStringLiteral("lock.fill"), QStringLiteral("lock")},
        {QStringLiteral("lock.open"), QStringLiteral("lock_open")},
        {QStringLiteral("lock.shield.fill"), QStringLiteral("admin_panel_settings")},
        {QStringLiteral("power"), QStringLiteral("power_settings_new")},
        {QStringLiteral("moon"), QStringLiteral("dark_mode")},
        {QStringLiteral("sun.max"), QStringLiteral("light_mode")},
        {QStringLiteral("sun.max.fill"), QStringLiteral("brightness_high")},
        {QStringLiteral("sun.min.fill"), QStringLiteral("brightness_low")},
        {QStringLiteral("gearshape"), QStringLiteral("settings")},
        {QStringLiteral("gearshape.fill"), QStringLiteral("settings")},
        {QStringLiteral("bell"), QStringLiteral("notifications")},
        {QStringLiteral("bell.slash"), QStringLiteral("notifications_off")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("search")},
        {QStringLiteral("command"), QStringLiteral("keyboard_command_key")},
        {QStringLiteral("option"), QStringLiteral("keyboard_option_key")},
        {QStringLiteral("control"), QStringLiteral("keyboard_control_key")},
        {QStringLiteral("shift"), QStringLiteral("keyboard_capslock")},
        {QStringLiteral("keyboard"), QStringLiteral("keyboard")},
        {QStringLiteral("terminal"), QStringLiteral("terminal")},
        {QStringLiteral("slider.horizontal.3"), QStringLiteral("tune")},
        {QStringLiteral("switch.2"), QStringLiteral("toggle_on")},
        {QStringLiteral("play"), QStringLiteral("play_arrow")},
        {QStringLiteral("play.fill"), QStringLiteral("play_arrow")},
        {QStringLiteral("play.circle.fill"), QStringLiteral("play_circle")},
        {QStringLiteral("pause"), QStringLiteral("pause")},
        {QStringLiteral("stop"), QStringLiteral("stop")},
        {QStringLiteral("forward"), QStringLiteral("fast_forward")},
        {QStringLiteral("backward"), QStringLiteral("fast_rewind")},
        {QStringLiteral("playpause.fill"), QStringLiteral("play_circle_outline")},
        {QStringLiteral("speaker.fill"), QStringLiteral("volume_mute")},
        {QStringLiteral("speaker.wave.1"), QStringLiteral("volume_down")},
        {QStringLiteral("speaker.wave.1.fill"), QStringLiteral("volume_down")},
        {QStringLiteral("speaker.wave.2.fill"), QStringLiteral("volume_down")},
        {QStringLiteral("speaker.wave.3"), QStringLiteral("volume_up")},
        {QStringLiteral("speaker.wave.3.fill"), QStringLiteral("volume_up")},
        {QStringLiteral("speaker.slash"), QStringLiteral("volume_off")},
        {QStringLiteral("speaker.slash.fill"), QStringLiteral("volume_off")},
        {QStringLiteral("mic"), QStringLiteral("mic")},
        {QStringLiteral("mic.slash"), QStringLiteral("mic_off")},
        {QStringLiteral("music.note"), QStringLiteral("music_note")},
        {QStringLiteral("video"), QStringLiteral("videocam")},
        {QStringLiteral("video.fill"), QStringLiteral("videocam")},
        {QStringLiteral("camera"), QStringLiteral("photo_camera")},
        {QStringLiteral("camera.viewfinder"), QStringLiteral("center_focus_strong")},
        {QStringLiteral("photo"), QStringLiteral("photo")},
        {QStringLiteral("photo.fill"), QStringLiteral("photo")},
        {QStringLiteral("arrow.up"), QStringLiteral("arrow_upward")},
        {QStringLiteral("arrow.down"), QStringLiteral("arrow_downward")},
        {QStringLiteral("arrow.left"), QStringLiteral("arrow_back")},
        {QStringLiteral("arrow.right"), QStringLiteral("arrow_forward")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("refresh")},
        {QStringLiteral("arrow.counterclockwise"), QStringLiteral("replay")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("undo")},
        {QStringLiteral("arrow.uturn.forward"), QStringLiteral("redo")},
        {QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("sync")},
        {QStringLiteral("arrow.left.to.line"), QStringLiteral("first_page")},
        {QStringLiteral("arrow.right.to.line"), QStringLiteral("last_page")},
        {QStringLiteral("arrow.up.forward.app"), QStringLiteral("open_in_new")},
        {QStringLiteral("chevron.left"), QStringLiteral("chevron_left")},
        {QStringLiteral("chevron.right"), QStringLiteral("chevron_right")},
        {QStringLiteral("chevron.up"), QStringLiteral("expand_less")},
        {QStringLiteral("chevron.down"), QStringLiteral("expand_more")},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("open_in_full")},
        {QStringLiteral("globe"), QStringLiteral("language")},
        {QStringLiteral("safari"), QStringLiteral("explore")},
        {QStringLiteral("link"), QStringLiteral("link")},
        {QStringLiteral("envelope"), QStringLiteral("email")},
        {QStringLiteral("message"), QStringLiteral("message")},
        {QStringLiteral("phone"), QStringLiteral("phone")},
        {QStringLiteral("bubble.left.and.bubble.right"), QStringLiteral("forum")},
        {QStringLiteral("text.bubble"), QStringLiteral("chat")},
        {QStringLiteral("network"), QStringLiteral("lan")},
        {QStringLiteral("wifi"), QStringLiteral("wifi")},
        {QStringLiteral("bolt"), QStringLiteral("bolt")},
        {QStringLiteral("at"), QStringLiteral("alternate_email")},
        {QStringLiteral("wrench.and.screwdriver"), QStringLiteral("build")},
        {QStringLiteral("hammer"), QStringLiteral("hardware")},
        {QStringLiteral("paintbrush"), QStringLiteral("brush")},
        {QStringLiteral("eyedropper"), QStringLiteral("colorize")},
        {QStringLiteral("calculator"), QStringLiteral("calculate")},
        {QStringLiteral("clock"), QStringLiteral("schedule")},
        {QStringLiteral("calendar"), QStringLiteral("calendar_today")},
        {QStringLiteral("bookmark"), QStringLiteral("bookmark")},
        {QStringLiteral("tag"), QStringLiteral("sell")},
        {QStringLiteral("flag"), QStringLiteral("flag")},
        {QStringLiteral("star"), QStringLiteral("star_border")},
        {QStringLiteral("star.fill"), QStringLiteral("star")},
        {QStringLiteral("heart"), QStringLiteral("favorite_border")},
        {QStringLiteral("hand.thumbsup"), QStringLiteral("thumb_up_off_alt")},
        {QStringLiteral("hand.tap.fill"), QStringLiteral("touch_app")},
        {QStringLiteral("hand.draw.fill"), QStringLiteral("gesture")},
        {QStringLiteral("person"), QStringLiteral("person")},
        {QStringLiteral("shield"), QStringLiteral("shield")},
        {QStringLiteral("shield.lefthalf.filled"), QStringLiteral("shield")},
        {QStringLiteral("checkmark.seal"), QStringLiteral("verified")},
        {QStringLiteral("checkmark.seal.fill"), QStringLiteral("verified")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("check_circle")},
        {QStringLiteral("pin"), QStringLiteral("push_pin")},
        {QStringLiteral("paperclip"), QStringLiteral("attach_file")},
        {QStringLiteral("creditcard"), QStringLiteral("credit_card")},
        {QStringLiteral("cart"), QStringLiteral("shopping_cart")},
        {QStringLiteral("sparkles"), QStringLiteral("auto_awesome")},
        {QStringLiteral("square.2.layers.3d.top.filled"), QStringLiteral("layers")},
        {QStringLiteral("rectangle.dashed.badge.record"), QStringLiteral("screenshot_monitor")},
        {QStringLiteral("square.stack.3d.up.fill"), QStringLiteral("layers")},
        {QStringLiteral("square.grid.2x2.fill"), QStringLiteral("apps")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("download")},
        {QStringLiteral("square.and.arrow.down.fill"), QStringLiteral("download")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("upload")},
        {QStringLiteral("plus.square"), QStringLiteral("add_box")},
        {QStringLiteral("xmark.square"), QStringLiteral("disabled_by_default")},
        {QStringLiteral("xmark.circle"), QStringLiteral("cancel")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("cancel")},
        {QStringLiteral("character.book.closed.fill"), QStringLiteral("translate")},
        {QStringLiteral("note.text"), QStringLiteral("sticky_note_2")},
        {QStringLiteral("newspaper.fill"), QStringLiteral("newspaper")},
        {QStringLiteral("cloud.sun.fill"), QStringLiteral("wb_cloudy")},
        {QStringLiteral("wand.and.stars"), QStringLiteral("auto_fix_high")},
        {QStringLiteral("app.dashed"), QStringLiteral("apps")},
        {QStringLiteral("app.badge.fill"), QStringLiteral("apps")},
        {QStringLiteral("app.badge.checkmark.fill"), QStringLiteral("app_registration")},
        {QStringLiteral("app.calculator"), QStringLiteral("calculate")},
        {QStringLiteral("app.music"), QStringLiteral("library_music")},
        {QStringLiteral("app.notes"), QStringLiteral("notes")},
        {QStringLiteral("app.screenshot"), QStringLiteral("screenshot")},
        {QStringLiteral("app.textedit"), QStringLiteral("edit_note")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("help_outline")},
        {QStringLiteral("exclamationmark.circle"), QStringLiteral("error_outline")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("warning")},
        {QStringLiteral("info.circle"), QStringLiteral("info_outline")},
        {QStringLiteral("info.circle.fill"), QStringLiteral("info")},
        {QStringLiteral("record.circle"), QStringLiteral("radio_button_checked")},
        {QStringLiteral("computermouse.fill"), QStringLiteral("mouse")},
        {QStringLiteral("dot.radiowaves.left.and.right"), QStringLiteral("sensors")},
        {QStringLiteral("circle.dashed.inset.filled"), QStringLiteral("radio_button_checked")},
        {QStringLiteral("circle.dashed"), QStringLiteral("radio_button_unchecked")},
    };
    return map;
}

} // namespace

namespace SymbolGlyphs {

QString materialLigature(const QString& sfSymbolName)
{
    return table().value(sfSymbolName, fallbackLigature());
}

bool isKnown(const QString& sfSymbolName)
{
    return table().contains(sfSymbolName);
}

QStringList knownSymbols()
{
    QStringList names = table().keys();
    names.sort();
    return names;
}

QString fallbackLigature()
{
    return QStringLiteral("help_outline");
}

QString fontFamily()
{
    return QStringLiteral("Material Icons");
}

QString loadedFontFamily()
{
    static const QString family = [] {
        const QString wanted = fontFamily();
        if (QFontDatabase::families().contains(wanted))
            return wanted;
        const int id = QFontDatabase::addApplicationFont(fontFile());
        const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        return families.isEmpty() ? wanted : families.first();
    }();
    return family;
}

QString fontFile()
{
    return QStringLiteral(
        "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
}

QIcon icon(const QString& sfSymbolName, const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font(loadedFontFamily());
    font.setPixelSize(28);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, materialLigature(sfSymbolName));
    painter.end();
    return QIcon(pixmap);
}

} // namespace SymbolGlyphs
