#pragma once

// The command-line help: a borderless, hand-painted window that lists the
// options, shown for "-?" or "/?".

#include <QDialog>
#include <QImage>

namespace talvoren {

namespace platform {
class IPlatform;
}

class TfrmCmdHelp : public QDialog {
    Q_OBJECT

public:
    explicit TfrmCmdHelp(platform::IPlatform& platform, QWidget* parent = nullptr);

    // Creates the dialog, shows it modally, releases it; returns the result.
    static int createAndShowModal(platform::IPlatform& platform);

    static constexpr int kWidth = 586;
    static constexpr int kHeight = 360;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openLink();
    const QImage& background();

    platform::IPlatform& fPlatform;
    QImage fBackground;
    QObject* fLink = nullptr;
};

} // namespace talvoren
