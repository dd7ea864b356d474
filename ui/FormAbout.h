#pragma once

// The about box: a borderless, self-painted window with the logo, the
// program's name, version and licence, the web site, and the scrolling
// acknowledgements.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;

namespace talvoren {

namespace platform {
class IPlatform;
}

class TScrollingCredits;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    TfrmAbout(platform::IPlatform& platform, QWidget* parent = nullptr);

    static void createAndShowModal(platform::IPlatform& platform, QWidget* parent = nullptr);
    // Tests look at the open box here instead of a modal loop.
    static std::function<void(TfrmAbout&)>& testDriver();

    // "Version <major>.<minor> build <build>" of a four-part version.
    static QString VersionText(const std::vector<uint16_t>& version);
    // One line per library this build contains and per translation, with
    // what it is used for, in the interface's language.
    static QStringList Acknowledgements();

    QLabel* lblVersion = nullptr;
    QLabel* lblURL = nullptr;
    TScrollingCredits* credits = nullptr;
    QPushButton* btnOk = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void lblURLClick();

    platform::IPlatform& fPlatform;
};

} // namespace talvoren
