#pragma once
// Windows for the compose window to open in place of the options dialog, the address book and
// the phrase window: each records how it was shown, runs the test's choice while it is shown
// (as the user would), then closes itself.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FrmMain.h"

struct StandInWindows {
    struct Opening {
        std::string kind;  // "Option", "Address" or "Tanbun"
        QPoint position;
        bool modal = false;
    };

    // Run while a window is shown; gets the hand-over fields (nullptr for the options dialog).
    std::function<void(THandOverFields*)> choose = [](THandOverFields*) {};
    std::vector<Opening> openings;
    // The password box's answer, and whose password it was asked for.
    std::optional<std::string> password;
    std::vector<std::string> askedPasswordOf;
    int alive = 0;

    TSecondaryWindows Windows() {
        return {
            [this](QWidget* owner) { return Make("Option", nullptr, owner); },
            [this](THandOverFields& f, QWidget* owner) { return Make("Address", &f, owner); },
            [this](THandOverFields& f, QWidget* owner) { return Make("Tanbun", &f, owner); },
            [this](const std::string& user, QWidget*) {
                askedPasswordOf.push_back(user);
                return password;
            },
        };
    }

  private:
    class Window : public QDialog {
      public:
        Window(StandInWindows& owner, std::string kind, THandOverFields* fields, QWidget* parent)
            : QDialog(parent), owner_(owner), kind_(std::move(kind)), fields_(fields) {
            ++owner_.alive;
        }
        ~Window() override { --owner_.alive; }

      protected:
        void showEvent(QShowEvent* event) override {
            QDialog::showEvent(event);
            QTimer::singleShot(0, this, [this] {
                owner_.openings.push_back(
                    {kind_, pos(), QApplication::activeModalWidget() == this});
                owner_.choose(fields_);
                accept();
            });
        }

      private:
        StandInWindows& owner_;
        std::string kind_;
        THandOverFields* fields_;
    };

    std::unique_ptr<QDialog> Make(const char* kind, THandOverFields* fields, QWidget* owner) {
        return std::make_unique<Window>(*this, kind, fields, owner);
    }
};
