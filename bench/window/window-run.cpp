// Measures a site in the window as a user would (Start with one input) and
// tells how long the run took and how often the window was painted while it
// ran: the status bar is marked for repainting every 20 ms, as an uncovered
// window would be, and the longest gap between two paints shows how long
// the window can go without handling it. Then the three lists are scrolled
// from top to bottom in 200 steps, and 200 pages are chosen in turn (the
// parts list follows each), each step painted at once: the longest step
// shows whether the lists keep up with a user.
//
//   QT_QPA_PLATFORM=offscreen window-run PATH
//
// Settings are the defaults (point VELMORAN_INI at a file that does not
// exist); message boxes are answered with their default button.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FrontEnd.h"
#include "settings/Uenviron.h"
#include "ui/UControls.h"
#include "ui/UnitMain.h"

namespace {

class TPaintClock : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint && clock.isValid()) stamps.push_back(clock.nsecsElapsed());
        return QObject::eventFilter(o, e);
    }
    QElapsedTimer clock;
    std::vector<qint64> stamps;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window-run PATH\n");
        return 2;
    }
    platform::FrontEnd().messageBox = [](const platform::TMessageRequest& r) { return r.defaultButton; };
    const std::string path = platform::Utf8ToCp932(argv[1]);
    TFormMain form;
    form.show();
    TPaintClock paints;
    app.installEventFilter(&paints);
    double total = 0;
    qint64 engineEnd = 0;
    // The longest stretch in which the engine called no sink (and so no
    // event was handled), and where it began.
    qint64 lastSink = 0, longestQuiet = 0, quietFrom = 0;
    auto stamp = [&] {
        const qint64 now = paints.clock.nsecsElapsed();
        if (now - lastSink > longestQuiet) {
            longestQuiet = now - lastSink;
            quietFrom = lastSink;
        }
        lastSink = now;
    };
    form.RunEngine = [&](bool& stop, const TProgressSink& folder, const TProgressSink& file,
                         const TProgressSink& warning) {
        MeasureAll(
            stop,
            [&](const std::string& p) {
                stamp();
                folder(p);
            },
            [&](const std::string& p) {
                stamp();
                file(p);
            },
            [&](const std::string& l) {
                stamp();
                warning(l);
            });
        stamp();
        engineEnd = paints.clock.nsecsElapsed();
    };
    QTimer dirty;
    QObject::connect(&dirty, &QTimer::timeout, [&] { form.StatusBar1->update(); });
    dirty.start(20);
    double scrollWorst[3] = {0, 0, 0}, chooseWorst = 0;
    QTimer::singleShot(200, [&] {
        InputList.assign(1, path);
        paints.clock.start();
        form.StartMeasurement();
        total = static_cast<double>(paints.clock.nsecsElapsed()) / 1e9;
        dirty.stop();
        QElapsedTimer step;
        auto longest = [&](double& worst, auto&& move) {
            for (int k = 0; k <= 200; ++k) {
                step.start();
                move(k);
                worst = std::max(worst, static_cast<double>(step.nsecsElapsed()) / 1e6);
            }
        };
        TOwnerDrawList* lists[3] = {form.HTMLListBox, form.HTMLSource, form.ErrorListBox};
        // The parts list of the first page is the one scrolled.
        form.HTMLListBox->SetItemIndex(0);
        form.ShowParts();
        for (int l = 0; l < 3; ++l) {
            TOwnerDrawList* list = lists[l];
            const qint64 last = std::max(0, list->Count() - 1);
            longest(scrollWorst[l], [&](int k) {
                list->SetTopIndex(static_cast<int>(last * k / 200));
                list->viewport()->repaint();
            });
        }
        const qint64 pages = std::max(0, FileList.Count() - 1);
        longest(chooseWorst, [&](int k) {
            form.HTMLListBox->SetItemIndex(static_cast<int>(pages * k / 200));
            form.ShowParts();
            form.HTMLListBox->viewport()->repaint();
            form.HTMLSource->viewport()->repaint();
        });
        app.quit();
    });
    app.exec();

    std::vector<qint64> s = paints.stamps;
    s.insert(s.begin(), 0);
    s.push_back(static_cast<qint64>(total * 1e9));
    // Gaps while the engine runs; filling the lists afterwards is shown apart.
    qint64 worst = 0, worstAt = 0;
    int over = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i - 1] >= engineEnd) break;
        const qint64 gap = std::min(s[i], engineEnd) - s[i - 1];
        if (gap > worst) {
            worst = gap;
            worstAt = s[i - 1];
        }
        if (gap > 100000000) ++over;
    }
    std::printf(
        "%d pages in %.2f s (measuring %.2f s, then the lists %.2f s); %zu paints; while measuring: "
        "longest gap between paints %.1f ms (from %.2f s), gaps over 100 ms: %d; "
        "longest time without a sink call %.1f ms (from %.2f s); "
        "longest step scrolling the page, parts and problem lists %.1f, %.1f, %.1f ms, choosing a page %.1f ms\n",
        FileList.Count(), total, static_cast<double>(engineEnd) / 1e9, total - static_cast<double>(engineEnd) / 1e9,
        paints.stamps.size(), static_cast<double>(worst) / 1e6, static_cast<double>(worstAt) / 1e9, over,
        static_cast<double>(longestQuiet) / 1e6, static_cast<double>(quietFrom) / 1e9, scrollWorst[0], scrollWorst[1],
        scrollWorst[2], chooseWorst);
    return 0;
}
