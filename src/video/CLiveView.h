#pragma once

#include <QPointer>
#include <QWidget>

class CLiveVideo;

// The live view between the device tree and the event list: hosts the video library's window,
// which fills it, and hands that window to the live-video logic.
class CLiveView : public QWidget
{
    Q_OBJECT

public:
    CLiveView(CLiveVideo& live, QWidget* parent = nullptr);
    // Clears the shown camera and destroys the video window.
    ~CLiveView() override;

    // Creates the video window; false when the library refuses it.
    bool Create();
    QWidget* videoWindow() const { return m_videoWindow; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<CLiveVideo> m_live;
    QWidget* m_videoWindow = nullptr;
};
