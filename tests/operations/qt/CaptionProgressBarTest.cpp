#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include "operations/qt/CaptionProgressBar.h"

namespace {

const QColor kFace(10, 20, 30);
const QColor kGreen(0, 255, 0);

// A bar with a face colour of its own, so the unfilled part is recognisable.
void prepare(CaptionProgressBar& bar, int width, int height) {
    QPalette colours = bar.palette();
    colours.setColor(QPalette::Button, kFace);
    bar.setPalette(colours);
    bar.resize(width, height);
}

int countPixels(const QImage& image, const QColor& colour, const QRect& area) {
    int found = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == colour) ++found;
    return found;
}

// Pixels that are neither bar nor face: the caption's, antialiased edges included.
int captionPixels(const QImage& image, const QRect& area) {
    return area.width() * area.height() - countPixels(image, kGreen, area) - countPixels(image, kFace, area);
}

}  // namespace

class CaptionProgressBarTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsUnsetAndHidden() {
        CaptionProgressBar bar;
        QCOMPARE(bar.barColour(), QColor(0, 204, 0));
        QVERIFY(bar.isHidden());
        QVERIFY(bar.caption().isEmpty());
    }

    void setUpGivesTheWindowsLook() {
        CaptionProgressBar bar;
        bar.setRange(5, 50);
        bar.setStep(3);
        bar.setPosition(17);
        bar.setCaption(QStringLiteral("x"));
        bar.setCaptionColour(Qt::red);
        bar.show();

        bar.setUp();

        QCOMPARE(bar.minimum(), 0);
        QCOMPARE(bar.maximum(), 100);
        QCOMPARE(bar.step(), 100);
        QCOMPARE(bar.position(), 0);
        QCOMPARE(bar.caption(), QString());
        QCOMPARE(bar.captionColour(), QColor(Qt::black));
        QCOMPARE(bar.barColour(), kGreen);
        QVERIFY(bar.isHidden());
    }

    void splitX_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("split");
        QTest::newRow("empty") << 0 << 100 << 0 << 250 << 0;
        QTest::newRow("37% truncated") << 0 << 100 << 37 << 250 << 92;  // 92.5
        QTest::newRow("full") << 0 << 100 << 100 << 250 << 250;
        QTest::newRow("one below full") << 0 << 100 << 99 << 203 << 200;  // 200.97
        // Narrower than the span: the bar still grows (a per-pixel quotient of 0 would not).
        QTest::newRow("narrow bar") << 0 << 100 << 37 << 90 << 33;
        QTest::newRow("narrow full") << 0 << 100 << 100 << 90 << 90;
        QTest::newRow("past the end") << 0 << 100 << 130 << 250 << 250;
        QTest::newRow("negative") << 0 << 100 << -5 << 250 << 0;
        QTest::newRow("empty range") << 0 << 0 << 0 << 250 << 0;
        QTest::newRow("offset range") << 50 << 150 << 100 << 200 << 100;
    }

    void splitX() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(int, width);
        QFETCH(int, split);
        CaptionProgressBar bar;
        bar.setRange(minimum, maximum);
        bar.setPosition(position);
        QCOMPARE(bar.splitX(width), split);
    }

    void paintsBarAndFaceAtTheSplit_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("split");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("37") << 37 << 74;  // 200 px wide
        QTest::newRow("100") << 100 << 200;
    }

    void paintsBarAndFaceAtTheSplit() {
        QFETCH(int, position);
        QFETCH(int, split);
        CaptionProgressBar bar;
        bar.setUp();
        prepare(bar, 200, 16);
        bar.setPosition(position);

        const QImage image = bar.grab().toImage();
        QCOMPARE(image.width(), 200);
        for (int y : {0, 8, 15}) {
            if (split > 0) {
                QCOMPARE(image.pixelColor(0, y), kGreen);
                QCOMPARE(image.pixelColor(split - 1, y), kGreen);
            }
            if (split < 200) {
                QCOMPARE(image.pixelColor(split, y), kFace);
                QCOMPARE(image.pixelColor(199, y), kFace);
            }
        }
        QCOMPARE(countPixels(image, kGreen, image.rect()), split * 16);
    }

    void captionIsDrawnCentredInItsColour() {
        CaptionProgressBar bar;
        bar.setUp();
        prepare(bar, 200, 16);
        bar.setPosition(50);
        QCOMPARE(captionPixels(bar.grab().toImage(), QRect(0, 0, 200, 16)), 0);

        bar.setCaption(QStringLiteral("已烧录50%"));
        bar.setCaptionColour(QColor(255, 0, 255));
        const QImage image = bar.grab().toImage();
        // Drawn over both parts, around the middle, not at the ends.
        QVERIFY(captionPixels(image, QRect(60, 0, 40, 16)) > 0);
        QVERIFY(captionPixels(image, QRect(100, 0, 40, 16)) > 0);
        QCOMPARE(captionPixels(image, QRect(0, 0, 20, 16)), 0);
        QCOMPARE(captionPixels(image, QRect(180, 0, 20, 16)), 0);
        // In the caption colour: its darkest stroke pixels carry magenta hues only.
        bool magentaInk = false;
        for (int y = 0; y < 16; ++y)
            for (int x = 60; x < 140; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c != kGreen && c != kFace && c.red() > 200 && c.blue() > 200 && c.green() < 60)
                    magentaInk = true;
            }
        QVERIFY(magentaInk);
        QCOMPARE(image.pixelColor(0, 0), kGreen);
        QCOMPARE(image.pixelColor(199, 15), kFace);
    }

    void keepsItsOwnCaption() {
        CaptionProgressBar bar;
        QSignalSpy captions(&bar, &CaptionProgressBar::captionChanged);
        {
            QString text = QStringLiteral("已烧录37%");
            bar.setCaption(text);
            text[3] = QLatin1Char('9');  // the caller's buffer changes or goes away
        }
        QCOMPARE(bar.caption(), QStringLiteral("已烧录37%"));
        bar.setCaption(QStringLiteral("已烧录37%"));
        QCOMPARE(captions.count(), 1);  // an unchanged caption is no change
    }

    void accessibleLikeAProgressBar() {
        CaptionProgressBar bar;
        bar.setUp();
        bar.setPosition(37);
        bar.setCaption(QStringLiteral("已读出37%"));

        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&bar);
        QVERIFY(iface != nullptr);
        QCOMPARE(iface->role(), QAccessible::ProgressBar);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("已读出37%"));
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("已读出37%"));
        QAccessibleValueInterface* value = iface->valueInterface();
        QVERIFY(value != nullptr);
        QCOMPARE(value->currentValue().toInt(), 37);
        QCOMPARE(value->minimumValue().toInt(), 0);
        QCOMPARE(value->maximumValue().toInt(), 100);

        value->setCurrentValue(80);  // read-only for assistive tools
        QCOMPARE(bar.position(), 37);
        bar.setPosition(64);
        QCOMPARE(value->currentValue().toInt(), 64);
    }
};

QTEST_MAIN(CaptionProgressBarTest)
#include "CaptionProgressBarTest.moc"
