#include "yoyo_panel.h"
#include "ui_yoyo_panel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QShortcut>

#include <algorithm>

namespace {

// Seen through the show player's transparent container as well as on the
// colour tool's grey; a style sheet of the count's own, which keeps it while
// the controls around it are disabled.
const QString warning_style = QStringLiteral("color:rgb(255,80,48)");
// A row that missed its report, the same in a light palette and a dark one.
const QColor missed_background(176, 0, 32);
const QColor missed_text(255, 255, 255);
const QKeySequence open_keys(Qt::CTRL | Qt::Key_Y);
const QString nothing_yet = QStringLiteral("\u2014");

// Serials that are numbers first, in numeric order ("2" before "10"), then
// the others in text order.
bool before(const QString &a, const QString &b)
{
    bool a_number = false, b_number = false;
    const qulonglong x = a.toULongLong(&a_number), y = b.toULongLong(&b_number);
    if (a_number != b_number)
        return a_number;
    if (a_number && x != y)
        return x < y;
    return a < b;
}

QString name_of(const std::wstring &serial, const std::string &path)
{
    return serial.empty() ? QString::fromStdString(path) : QString::fromStdWString(serial);
}

} // namespace

yoyo_panel::yoyo_panel(QLabel *count, QWidget *window)
    : QWidget(window, Qt::Tool)
    , ui(new Ui::yoyo_panel)
    , count(count)
    , count_style(count->styleSheet())
{
    ui->setupUi(this);
    ui->yoyo_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(new QShortcut(open_keys, window), &QShortcut::activated, this, &yoyo_panel::open);
    // Sees the count's clicks and the window's shortcut overrides.
    qApp->installEventFilter(this);
}

yoyo_panel::~yoyo_panel()
{
    delete ui;
}

void yoyo_panel::open()
{
    show();
    raise();
    activateWindow();
}

bool yoyo_panel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == count && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        open();
    // Line edits outside Windows take Ctrl+Y for themselves (yank); in the
    // window, the keys open the panel wherever the focus is.
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == parentWidget()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        return QKeySequence(int(key->modifiers()) | key->key()) == open_keys;
    }
    return false;
}

void yoyo_panel::listed(const hid_device_info *records)
{
    yoyos.clear();
    for (const hid_device_info *record = records; record; record = record->next)
        yoyos.push_back({record->path, record->serial_number ? QString::fromWCharArray(record->serial_number)
                                                             : QString()});
    std::stable_sort(yoyos.begin(), yoyos.end(), [](const Yoyo &a, const Yoyo &b) {
        return before(a.serial, b.serial) || (!before(b.serial, a.serial) && a.path < b.path);
    });
    // Only the listed yo-yos and those of the latest broadcast are kept.
    const auto wanted = [](const std::vector<Yoyo> &among, const std::string &path) {
        return std::any_of(among.begin(), among.end(), [&](const Yoyo &y) { return y.path == path; });
    };
    for (auto it = seen.begin(); it != seen.end();)
        it = wanted(yoyos, it->first) || wanted(last_sent, it->first) ? std::next(it) : seen.erase(it);
    show_rows();
}

void yoyo_panel::sent(unsigned round, const hid_device_info *records)
{
    last_round = round;
    last_sent.clear();
    for (const hid_device_info *record = records; record; record = record->next)
        last_sent.push_back({record->path, QString()});
    if (last_sent.empty()) {
        took_last = 0;
        count->setStyleSheet(count_style);
        count->setToolTip(QString());
    }
}

void yoyo_panel::hand_over(const yoyo::Outcome &outcome)
{
    QMetaObject::invokeMethod(this, [this, outcome] { take(outcome); }, Qt::QueuedConnection);
}

void yoyo_panel::take(const yoyo::Outcome &outcome)
{
    Seen &last = seen[outcome.path];
    // A report's outcome may come after its successor's, when it waited for
    // an answer that the next one did not.
    if (outcome.round < last.outcome.round)
        return;
    const auto ago = std::chrono::steady_clock::now() - outcome.when;
    last = {outcome, QTime::currentTime().addMSecs(
                         -int(std::chrono::duration_cast<std::chrono::milliseconds>(ago).count()))};
    show_rows();
    if (outcome.round == last_round)
        judge_last_report();
}

// Once every yo-yo of the latest broadcast has its outcome.
void yoyo_panel::judge_last_report()
{
    std::vector<std::pair<QString, QString>> missed;
    for (const Yoyo &yoyo : last_sent) {
        const auto it = seen.find(yoyo.path);
        if (it == seen.end() || it->second.outcome.round != last_round)
            return;
        const yoyo::Outcome &outcome = it->second.outcome;
        if (!yoyo::took(outcome))
            missed.emplace_back(name_of(outcome.serial, outcome.path), yoyo::outcome_text(outcome));
    }
    std::stable_sort(missed.begin(), missed.end(), [](const auto &a, const auto &b) { return before(a.first, b.first); });
    took_last = int(last_sent.size() - missed.size());
    count->setStyleSheet(missed.empty() ? count_style : warning_style);
    count->setToolTip(yoyo::took_summary(seen[last_sent.front().path].outcome.report, int(last_sent.size()), missed));
}

void yoyo_panel::show_rows()
{
    QTableWidget *table = ui->yoyo_table;
    table->setRowCount(int(yoyos.size()));
    for (int row = 0; row < int(yoyos.size()); ++row) {
        const Yoyo &yoyo = yoyos[row];
        const auto it = seen.find(yoyo.path);
        const bool any = it != seen.end();
        const QStringList texts{yoyo.serial, QString::fromStdString(yoyo.path),
                                any ? yoyo::report_text(it->second.outcome.report) : nothing_yet,
                                any ? yoyo::outcome_text(it->second.outcome) : nothing_yet,
                                any ? it->second.at.toString(QStringLiteral("HH:mm:ss")) : nothing_yet};
        const bool missed = any && !yoyo::took(it->second.outcome);
        for (int column = 0; column < texts.size(); ++column) {
            auto *item = new QTableWidgetItem(texts[column]);
            if (missed) {
                item->setBackground(missed_background);
                item->setForeground(missed_text);
            }
            table->setItem(row, column, item);
        }
    }
}
