#pragma once

#include <QWidget>

class QHBoxLayout;

// The band that holds the main dialog's toolbar, drawn with a vertical blue-grey gradient from
// RGB(245,250,255) at the top edge to RGB(190,209,230) at the bottom edge.
class CMyReBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr QRgb kTopColor = 0xFFF5FAFF;
    static constexpr QRgb kBottomColor = 0xFFBED1E6;

    explicit CMyReBar(QWidget* parent = nullptr);

    // Puts the bar on its own row of the band (only one bar is held).
    void AddBar(QWidget* bar);
    // Height of the band's row: the bar's height plus the band's borders.
    int barHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QHBoxLayout* m_layout;
    QWidget* m_bar = nullptr;
};
