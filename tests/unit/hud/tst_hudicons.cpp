#include "common/SymbolGlyphs.h"
#include "hud/ActionIconView.h"
#include "hud/AppIconCache.h"
#include "platform/fake/FakePlatform.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

// Symbol names the ring data and the interface use.
static const QStringList kCurated = {"1.circle",
                                     "2.circle",
                                     "3.circle",
                                     "4.circle",
                                     "5.circle",
                                     "6.circle",
                                     "doc.on.doc",
                                     "doc.on.clipboard",
                                     "scissors",
                                     "pencil",
                                     "highlighter",
                                     "trash",
                                     "plus",
                                     "minus",
                                     "xmark",
                                     "checkmark",
                                     "square.and.pencil",
                                     "folder",
                                     "tray",
                                     "archivebox",
                                     "doc.text",
                                     "list.bullet",
                                     "desktopcomputer",
                                     "macwindow",
                                     "lock",
                                     "lock.open",
                                     "power",
                                     "moon",
                                     "sun.max",
                                     "gearshape",
                                     "bell",
                                     "bell.slash",
                                     "magnifyingglass",
                                     "command",
                                     "option",
                                     "control",
                                     "shift",
                                     "keyboard",
                                     "terminal",
                                     "slider.horizontal.3",
                                     "switch.2",
                                     "play",
                                     "pause",
                                     "stop",
                                     "forward",
                                     "backward",
                                     "speaker.wave.3",
                                     "speaker.wave.1",
                                     "speaker.slash",
                                     "mic",
                                     "mic.slash",
                                     "music.note",
                                     "video",
                                     "camera",
                                     "photo",
                                     "arrow.up",
                                     "arrow.down",
                                     "arrow.left",
                                     "arrow.right",
                                     "arrow.clockwise",
                                     "arrow.counterclockwise",
                                     "arrow.uturn.backward",
                                     "arrow.uturn.forward",
                                     "chevron.left",
                                     "chevron.right",
                                     "chevron.up",
                                     "chevron.down",
                                     "arrow.up.left.and.arrow.down.right",
                                     "globe",
                                     "safari",
                                     "link",
                                     "envelope",
                                     "message",
                                     "phone",
                                     "bubble.left.and.bubble.right",
                                     "network",
                                     "wifi",
                                     "bolt",
                                     "at",
                                     "wrench.and.screwdriver",
                                     "hammer",
                                     "paintbrush",
                                     "eyedropper",
                                     "calculator",
                                     "clock",
                                     "calendar",
                                     "bookmark",
                                     "tag",
                                     "flag",
                                     "star",
                                     "heart",
                                     "hand.thumbsup",
                                     "person",
                                     "shield",
                                     "checkmark.seal",
                                     "pin",
                                     "paperclip",
                                     "creditcard",
                                     "cart",
                                     "sparkles"};

static const QStringList kInterface = {"speaker.fill",
                                       "speaker.wave.1.fill",
                                       "speaker.wave.2.fill",
                                       "speaker.wave.3.fill",
                                       "speaker.slash.fill",
                                       "app.dashed",
                                       "questionmark.circle",
                                       "circle.dashed.inset.filled",
                                       "square.stack.3d.up.fill",
                                       "music.note",
                                       "photo.fill",
                                       "video.fill",
                                       "character.book.closed.fill",
                                       "wand.and.stars",
                                       "note.text",
                                       "newspaper.fill",
                                       "cloud.sun.fill",
                                       "text.bubble",
                                       "star.fill",
                                       "app.badge.fill",
                                       "xmark.circle.fill",
                                       "play.circle.fill",
                                       "exclamationmark.triangle.fill",
                                       "record.circle",
                                       "exclamationmark.circle",
                                       "play.fill",
                                       "info.circle",
                                       "info.circle.fill",
                                       "shield.lefthalf.filled",
                                       "checkmark.circle.fill",
                                       "lock.shield.fill",
                                       "arrow.triangle.2.circlepath",
                                       "checkmark.seal.fill",
                                       "hand.draw.fill",
                                       "folder.fill",
                                       "doc.on.doc.fill",
                                       "doc.on.clipboard.fill",
                                       "arrow.left.to.line",
                                       "arrow.right.to.line",
                                       "plus.square",
                                       "square.and.arrow.down.fill",
                                       "xmark.square",
                                       "computermouse.fill",
                                       "hand.tap.fill"};

class TestHudIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyUsedNameIsMapped_data();
    void everyUsedNameIsMapped();
    void everyLigatureRendersOneGlyph_data();
    void everyLigatureRendersOneGlyph();
    void unknownNamesFallBack();
    void iconCases_data();
    void iconCases();
    void appIconRoundedCorners();
    void cacheEvictsBeyondSixty();
    void cacheAlwaysYieldsAnImage();

private:
    static QImage render(const IconInfo& icon, int size, const QColor& tint);
    static QImage renderLigature(const QString& ligature, QRectF* inkBox);

    FakePlatform m_platform;
    QTemporaryDir m_dir;
};

void TestHudIcons::initTestCase()
{
    Platform::setInstance(&m_platform);
    QVERIFY(QFile::exists(SymbolGlyphs::fontFile()));
    // A desktop entry whose icon is an image file we control.
    QImage img(64, 64, QImage::Format_ARGB32);
    img.fill(QColor(255, 0, 0));
    QVERIFY(img.save(m_dir.filePath(QStringLiteral("red.png"))));
    QFile desktop(m_dir.filePath(QStringLiteral("red.desktop")));
    QVERIFY(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nType=Application\nName=Red\nExec=true\n");
    desktop.close();
    m_platform.fakeDesktopEntries->entries.append(
        DesktopEntry{QStringLiteral("red"), QStringLiteral("Red"), QStringLiteral("Red"),
                     m_dir.filePath(QStringLiteral("red.png")), desktop.fileName(), QString()});
}

void TestHudIcons::everyUsedNameIsMapped_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& n : kCurated + kInterface)
        QTest::newRow(qPrintable(n)) << n;
    for (SystemControlAction a : SystemControl::allCases())
        QTest::newRow(qPrintable(QStringLiteral("control ") + SystemControl::defaultSymbol(a)))
            << SystemControl::defaultSymbol(a);
}

void TestHudIcons::everyUsedNameIsMapped()
{
    QFETCH(QString, name);
    QVERIFY2(SymbolGlyphs::isKnown(name), qPrintable(name));
}

QImage TestHudIcons::renderLigature(const QString& ligature, QRectF* inkBox)
{
    const QFont font = ActionIconView::symbolFont(48);
    QImage img(200, 80, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QPointF(10, 60), ligature);
    p.end();
    int minX = img.width(), maxX = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
    *inkBox = maxX < 0 ? QRectF() : QRectF(minX, 0, maxX - minX + 1, 80);
    return img;
}

void TestHudIcons::everyLigatureRendersOneGlyph_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& n : SymbolGlyphs::knownSymbols())
        QTest::newRow(qPrintable(n)) << n;
}

void TestHudIcons::everyLigatureRendersOneGlyph()
{
    QFETCH(QString, name);
    const QString ligature = SymbolGlyphs::materialLigature(name);
    // A ligature the font lacks falls apart into its letters: many glyphs,
    // much wider than one 48 px icon.
    const QFontMetricsF fm(ActionIconView::symbolFont(48));
    QVERIFY2(fm.horizontalAdvance(ligature) <= 48.5, qPrintable(ligature));
    QRectF ink;
    const QImage drawn = renderLigature(ligature, &ink);
    QVERIFY2(!ink.isNull(), qPrintable(ligature + QStringLiteral(" draws nothing")));
    QVERIFY2(ink.width() <= 48, qPrintable(ligature));
    // Only the question-mark symbols may look like the fallback.
    if (ligature != SymbolGlyphs::fallbackLigature()) {
        QRectF fallbackInk;
        QVERIFY(drawn != renderLigature(SymbolGlyphs::fallbackLigature(), &fallbackInk));
    }
}

void TestHudIcons::unknownNamesFallBack()
{
    QCOMPARE(SymbolGlyphs::materialLigature(QStringLiteral("no.such.symbol")),
             QStringLiteral("help_outline"));
    QCOMPARE(SymbolGlyphs::materialLigature(QString()), QStringLiteral("help_outline"));
    QVERIFY(SymbolGlyphs::materialLigature(QStringLiteral("lock.fill")) != QStringLiteral("help_outline"));
}

QImage TestHudIcons::render(const IconInfo& icon, int size, const QColor& tint)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    ActionIconView::paint(p, QRectF(0, 0, size, size), icon, tint);
    return img;
}

static int countPixels(const QImage& img, const std::function<bool(QRgb)>& pred)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += pred(img.pixel(x, y)) ? 1 : 0;
    return n;
}

void TestHudIcons::iconCases_data()
{
    QTest::addColumn<IconInfo>("icon");
    QTest::addColumn<QString>("drawnAs"); // "", "red" (the app icon) or a symbol name
    QTest::newRow("symbol") << IconInfo::sfSymbol(QStringLiteral("lock.fill")) << "lock.fill";
    QTest::newRow("empty symbol") << IconInfo::sfSymbol(QString()) << "";
    QTest::newRow("circle.dashed") << IconInfo::sfSymbol(QStringLiteral("circle.dashed")) << "";
    QTest::newRow("unknown symbol") << IconInfo::sfSymbol(QStringLiteral("zzz")) << "questionmark.circle";
    QTest::newRow("app, empty path") << IconInfo::app(QStringLiteral("x"), QStringLiteral("X"), QString())
                                     << "app.dashed";
    QTest::newRow("app, gone") << IconInfo::app(QStringLiteral("x"), QStringLiteral("X"),
                                                QStringLiteral("/nonexistent/x.desktop"))
                               << "app.dashed";
    QTest::newRow("app") << IconInfo::app(QStringLiteral("red"), QStringLiteral("Red"),
                                          m_dir.filePath(QStringLiteral("red.desktop")))
                         << "red";
    QTest::newRow("custom image missing")
        << IconInfo::customImage(QStringLiteral("no-such-image-xyz")) << "questionmark.circle";
}

void TestHudIcons::iconCases()
{
    QFETCH(IconInfo, icon);
    QFETCH(QString, drawnAs);
    const QColor tint(0, 0, 255);
    const QImage img = render(icon, 32, tint);
    const int inked = countPixels(img, [](QRgb c) { return qAlpha(c) > 0; });
    if (drawnAs.isEmpty()) {
        QCOMPARE(inked, 0);
        return;
    }
    QVERIFY(inked > 0);
    if (drawnAs == QLatin1String("red")) {
        // The application's own picture, not tinted.
        QVERIFY(countPixels(img, [](QRgb c) { return qRed(c) > 200 && qBlue(c) < 40; }) > 500);
        QCOMPARE(countPixels(img, [](QRgb c) { return qBlue(c) > 200 && qRed(c) < 40; }), 0);
        return;
    }
    // A symbol in the tint colour, the same as drawing that symbol directly.
    QVERIFY(countPixels(img, [](QRgb c) { return qAlpha(c) > 0 && (qRed(c) > 0 || qGreen(c) > 0); }) == 0);
    QCOMPARE(img, render(IconInfo::sfSymbol(drawnAs), 32, tint));
}

void TestHudIcons::appIconRoundedCorners()
{
    const IconInfo icon = IconInfo::app(QStringLiteral("red"), QStringLiteral("Red"),
                                        m_dir.filePath(QStringLiteral("red.desktop")));
    const QImage img = render(icon, 22, Qt::blue);
    // Corner radius 22 * 0.22 = 4.84: the very corner is clear, the middle of
    // each edge and the centre are filled.
    QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(img.pixel(21, 21)), 0);
    QVERIFY(qAlpha(img.pixel(11, 0)) > 200);
    QVERIFY(qAlpha(img.pixel(0, 11)) > 200);
    QVERIFY(qAlpha(img.pixel(11, 11)) == 255);
    // Pixel (0, 1) has its centre 5.5 px from the arc's centre (4.84, 4.84): outside.
    QVERIFY(qAlpha(img.pixel(0, 1)) < 128);
    QVERIFY(qAlpha(img.pixel(1, 0)) < 128);
    QVERIFY(qAlpha(img.pixel(3, 3)) > 128);
}

void TestHudIcons::cacheEvictsBeyondSixty()
{
    AppIconCache cache(m_platform.desktopEntries);
    const QString red = m_dir.filePath(QStringLiteral("red.desktop"));
    for (int i = 0; i < 60; ++i)
        cache.icon(QStringLiteral("/nonexistent/app%1.desktop").arg(i));
    QCOMPARE(cache.count(), 60);
    QCOMPARE(cache.buildCount(), 60);
    cache.icon(QStringLiteral("/nonexistent/app0.desktop")); // a hit refreshes app0
    QCOMPARE(cache.buildCount(), 60);
    cache.icon(red); // the 61st distinct path
    QCOMPARE(cache.count(), 60);
    QVERIFY(cache.contains(red));
    QVERIFY(cache.contains(QStringLiteral("/nonexistent/app0.desktop")));
    QVERIFY(!cache.contains(QStringLiteral("/nonexistent/app1.desktop"))); // least recently used
    // An evicted path is made again.
    const QPixmap again = cache.icon(QStringLiteral("/nonexistent/app1.desktop"));
    QVERIFY(!again.isNull());
    QCOMPARE(cache.buildCount(), 62);
    cache.removeAll();
    QCOMPARE(cache.count(), 0);
    const QPixmap redIcon = cache.icon(red);
    QCOMPARE(redIcon.size(), QSize(48, 48));
    QCOMPARE(redIcon.toImage().pixelColor(24, 24), QColor(255, 0, 0));
}

void TestHudIcons::cacheAlwaysYieldsAnImage()
{
    AppIconCache cache(m_platform.desktopEntries);
    for (const QString& path : {QString(), QStringLiteral("/nonexistent"), QStringLiteral("/")}) {
        const QPixmap pm = cache.icon(path);
        QVERIFY(!pm.isNull());
        QCOMPARE(pm.deviceIndependentSize().toSize(), QSize(48, 48));
    }
}

QTEST_MAIN(TestHudIcons)
#include "tst_hudicons.moc"
