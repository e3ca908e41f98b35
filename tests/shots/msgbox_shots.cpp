// Manual screenshot helper: opens sample message boxes one after the other and saves each as a
// PNG into the folder given as the first argument (default "screenshots"). Run it under a real X
// server, e.g. xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/msgbox-shots screenshots

#include "support/VexMsgFlags.h"
#include "support/widgets/VexFonts.h"
#include "support/widgets/VexFrmMsgBox.h"
#include "support/widgets/VexMisc.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Shot {
    std::string name;
    std::function<void()> open;
};

// Saves the modal box once it is on screen and painted, then closes it through its close box,
// or through its last button where the box has no close box.
class Shooter {
public:
    explicit Shooter(QString dir) : dir_(std::move(dir)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(50);
    }

    void Expect(const std::string& name) {
        name_ = QString::fromStdString(name);
        polls_ = 0;
    }

private:
    void Poll() {
        auto* box = qobject_cast<TFrmMsgBox*>(QApplication::activeModalWidget());
        // A few polls after showing, so the window manager and painting have settled.
        if (!box || !box->isVisible() || ++polls_ < 4) {
            return;
        }
        const QString path = dir_ + "/" + name_ + ".png";
        if (!box->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        }
        std::printf("%s: %dx%d \"%s\"\n", qPrintable(path), box->width(), box->height(),
                    qPrintable(box->windowTitle()));
        Answer(*box);
    }

    static void Answer(TFrmMsgBox& box) {
        if (box.HasSystemMenu()) {
            box.close();
            return;
        }
        for (int k = 3; k >= 1; --k) {
            if (!box.Button(k)->isHidden()) {
                box.Button(k)->click();
                return;
            }
        }
    }

    QString dir_;
    QString name_;
    int polls_ = 0;
    QTimer timer_;
};

std::string LongText() {
    std::string text = "Protokoll der Übertragung an die Praxissoftware:\r\n";
    for (int k = 1; k <= 120; ++k) {
        text += "Zeile " + std::to_string(k) +
                ": Messwert übernommen, Systole 120 mmHg, Diastole 80 mmHg, Puls 64/min.\r\n";
    }
    return text;
}

std::vector<Shot> Shots() {
    static bool state = true;
    return {
        {"1-plain-ok", [] { ShowMsg("Kein Gerät zur Blutdruckmessung gefunden.", MB_OK); }},
        {"2-ok-cancel-information",
         [] {
             ShowMsg("Sollen die Messwerte jetzt an die Praxissoftware übertragen werden?",
                     MB_OKCANCEL | MB_ICONASTERISK);
         }},
        {"3-check-box",
         [] {
             ShowMsgCheck("Für den PDF-Bericht ist kein Zielordner festgelegt. Ohne Zielordner "
                          "kann der Bericht nicht geschrieben werden.",
                          "Zielordner jetzt festlegen", state, MB_ICONEXCLAMATION, 0);
         }},
        {"4-long-scrolling-text", [] { ShowMsg(LongText(), MB_ICONHAND); }},
        {"5-heading-detail",
         [] {
             ShowMsgEx("Die GDT-Datei konnte nicht gelesen werden",
                       "Die Datei /home/praxis/gdt/import.gdt enthält in Zeile 3 eine falsche "
                       "Längenangabe. Bitte lassen Sie die Anforderung in der Praxissoftware "
                       "erneut erstellen.",
                       "", MB_ICONQUESTION | MB_YESNOCANCEL | MB_DEFBUTTON2);
         }},
        {"6-caller-buttons",
         [] {
             ShowMsgEx("Die Datei export.gdt ist bereits vorhanden.", "",
                       "Ja, Datei jetzt überschreiben|Nein|Abbrechen", MB_ICONEXCLAMATION);
         }},
        {"7-abort-retry-ignore-highlight",
         [] {
             bool none = false;
             ExecuteMsgBox(CreateFrmMsgBox, "Das Gerät antwortet nicht.", "", "", "",
                           MB_ABORTRETRYIGNORE | MB_ICONHAND, "", none, nullptr, moHighlight);
         }},
    };
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterWindowsFontReplacements();
    VexFrmMsgBoxStartup();
    ApplicationTitle = "lirn Quarn professional";
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(dir);
    Shooter shooter(dir);
    for (const Shot& shot : Shots()) {
        shooter.Expect(shot.name);
        shot.open();
    }
    VexFrmMsgBoxShutdown();
    return 0;
}
