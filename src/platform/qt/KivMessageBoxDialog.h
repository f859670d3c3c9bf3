#pragma once
// The client's own message box. TKivMessageBoxWindow is the box: a borderless
// modal window with the caption strip, the icon, the text, OK, the details link,
// the online-help link and the details pane. TKivMessageBoxDialog builds one for
// each message, shows it modally and frees it.
#include <QDialog>
#include <QString>

#include "ports/MessageBoxView.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace kiv {

class THeaderPanel;
class TLinkLabel;

class TKivMessageBoxWindow final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kObjectName = "frmKivMessageBox";
    static constexpr int kWidth = 432;
    static constexpr int kOpenHeight = 324;  // with the details pane
    static constexpr int kDetailHeight = 152;
    static constexpr int kNoIcon = 3;

    // Created with the details pane collapsed and the captions of the language file.
    TKivMessageBoxWindow();

    void Fill(const TMessageBoxContent& content);

    void ToggleDetails();
    bool DetailsShown() const;
    void OpenOnlineHelp();
    QString OnlineURL() const { return onlineUrl_; }
    // The session keeps running while the box is open: the box sits in the middle
    // of the screen above the session's windows.
    void CenterOnScreen();

    THeaderPanel* Header() const { return header_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceDetailPane(int windowHeight);
    void UpdateCloseGlyph();

    THeaderPanel* header_;
    QToolButton* close_;
    QLabel* glyph_;
    QLabel* text_;
    QPushButton* ok_;
    TLinkLabel* showDetailed_;
    TLinkLabel* onlineHelp_;
    QPlainTextEdit* detail_;
    QString detailCaption_;
    QString onlineUrl_;
};

class TKivMessageBoxDialog final : public IMessageBoxView {
public:
    TMessageBoxResult Show(const TMessageBoxContent& content) override;
};

}  // namespace kiv
