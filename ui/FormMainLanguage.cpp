#include "ui/FormMain.h"

// The language and skin selectors of the window and the texts that follow
// a change of language.

#include "base/Translation.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "settings/Options.h"
#include "ui/Language.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableView>

namespace talvoren {

void TfrmMain::SetDonateCaption()
{
    // The link colour of the skin: a label keeps the one of its first text.
    lblDonate->setText(QStringLiteral("<a href=\"donate\" style=\"text-decoration:none; color:%1\"><b>%2</b></a>")
                           .arg(QApplication::palette().color(QPalette::Link).name(), qtr("Donate").toHtmlEscaped()));
}

void TfrmMain::SetWindowCaption()
{
    // "[*]": Qt shows the modified mark there while the window is modified.
    setWindowTitle(QStringLiteral("Talvoren ") + VersionAndBuild(fPlatform.system().executableVersion())
                   + QStringLiteral("[*]"));
}

void TfrmMain::RetranslateMainWindow()
{
    RetranslateWindow(this);
    // Texts composed of a translation and data are composed again.
    SetDonateCaption();
    SetWindowCaption();
    // The panels show their captions elided; they translate the full ones.
    tbxPanelSysTree->setCaption(RetranslatedText(tbxPanelSysTree->caption()));
    tbxPanelUserTree->setCaption(RetranslatedText(tbxPanelUserTree->caption()));
}

void TfrmMain::InitLanguages()
{
    SelectInterfaceLanguage("en_US");
    RetranslateWindow(this);
    const QSignalBlocker block(comboLanguages);
    // Only the languages that have a catalogue, each in its own name; a
    // stored language without one shows English.
    const std::vector<TInterfaceLanguage> languages = AvailableLanguages();
    for (const TInterfaceLanguage& language : languages) {
        comboLanguages->addItem(language.name, QString::fromStdString(language.code));
    }
    const size_t stored = LanguageIndexOfSetting(languages, fOptions->language());
    comboLanguages->setCurrentIndex(int(stored));
    SelectInterfaceLanguage(languages[stored].code);
    if (stored != 0) {
        RetranslateMainWindow();
    }
    fShownLanguage = comboLanguages->currentIndex();
    connect(comboLanguages, &QComboBox::currentIndexChanged, this, &TfrmMain::comboLanguagesChange);

    // Skins: "Default" first; the stored name is applied even when unknown.
    const QSignalBlocker blockSkins(comboSkins);
    comboSkins->addItems(SkinNames());
    const int skin = comboSkins->findText(toQ(fOptions->skin));
    comboSkins->setCurrentIndex(skin < 0 ? 0 : skin);
    ApplySkin(toQ(fOptions->skin));
    SetDonateCaption();
    connect(comboSkins, &QComboBox::currentIndexChanged, this, &TfrmMain::comboSkinsChange);
}

void TfrmMain::comboLanguagesChange()
{
    const int i = comboLanguages->currentIndex();
    if (i < 0) {
        return;
    }
    if (!EndEditing()) {
        // The language stays, and the selector says so.
        const QSignalBlocker block(comboLanguages);
        comboLanguages->setCurrentIndex(fShownLanguage);
        return;
    }
    fShownLanguage = i;
    SelectInterfaceLanguage(comboLanguages->currentData().toString().toStdString());
    RetranslateMainWindow();
    SetUpdateStatus(statusLabel4->image(), statusLabel4eng, statusLabel4engReason);
    FillUserList(); // "[logged in]" in the new language
    UpdateStatusBar();
    gridLegend->viewport()->update(); // its texts are translated when painted
    update();
}

void TfrmMain::SetUpdateStatus(int image, const std::u16string& text, const std::u16string& reason)
{
    statusLabel4eng = text;
    statusLabel4engReason = reason;
    const auto translated = [](const std::u16string& english) {
        return english.empty() ? QString() : toQ(talvoren::tr(platform::toUtf8(english).c_str()));
    };
    statusLabel4->setState(image, translated(text), translated(reason));
}

void TfrmMain::comboSkinsChange()
{
    ApplySkin(comboSkins->currentText());
    SetDonateCaption();
}

} // namespace talvoren
