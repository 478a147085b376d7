#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// Progress bar 1031: a plain painted bar with a caption drawn across it
// ("已烧录37%"). The bar is filled from the left up to the position; the rest
// shows the button face. It keeps its own copy of the caption.
class CaptionProgressBar : public QWidget {
    Q_OBJECT

public:
    // Colour of a bar that has not been set up yet.
    static constexpr QRgb UnsetBarColour = 0xFF00CC00;  // RGB(0, 204, 0)
    static constexpr QRgb BarColour = 0xFF00FF00;       // RGB(0, 255, 0)

    explicit CaptionProgressBar(QWidget* parent = nullptr);

    // The set-up made when the window starts: range 0..100, step 100, position 0,
    // no caption, black caption, green bar, hidden.
    void setUp();

    void setRange(int minimum, int maximum);
    void setStep(int step);
    void setPosition(int position);
    void setCaption(const QString& caption);
    void setCaptionColour(const QColor& colour);
    void setBarColour(const QColor& colour);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int step() const { return m_step; }
    int position() const { return m_position; }
    QString caption() const { return m_caption; }
    QColor captionColour() const { return m_captionColour; }
    QColor barColour() const { return m_barColour; }

    // Where the filled part ends for a client area `width` pixels wide.
    int splitX(int width) const;

Q_SIGNALS:
    void positionChanged(int position);
    void captionChanged(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_minimum = 0;
    int m_maximum = 100;
    int m_step = 10;
    int m_position = 0;
    QString m_caption;
    QColor m_captionColour = Qt::black;
    QColor m_barColour = QColor::fromRgb(UnsetBarColour);
};
