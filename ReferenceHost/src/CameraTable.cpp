#include "CameraTable.h"

#include <QAbstractItemModel>
#include <QList>
#include <QStringList>

namespace {

constexpr int StatusCount = 7;
// A table longer than this shows only its first rows: a report of a hundred thousand
// lines per step is read by nobody and costs more than the step it reports.
constexpr int WholeTableRows = 1000;
constexpr int HeadRows = 100;

QString render(const QStringList& header, const QList<QStringList>& rows, int leftOut)
{
    QList<qsizetype> widths;
    for (const QString& title : header)
        widths.append(title.size());
    for (const QStringList& row : rows) {
        for (int column = 0; column < row.size(); ++column)
            widths[column] = qMax(widths[column], row.at(column).size());
    }
    auto line = [&widths](const QStringList& cells) {
        QString text = QStringLiteral("  ");
        for (int column = 0; column < cells.size(); ++column) {
            const bool last = column == cells.size() - 1;
            text += last ? cells.at(column) : cells.at(column).leftJustified(widths[column] + 2);
        }
        // An empty last cell leaves no spaces at the end of the line.
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QString table = line(header);
    QStringList rules;
    for (qsizetype width : std::as_const(widths))
        rules.append(QString(width, QLatin1Char('-')));
    table += line(rules);
    for (const QStringList& row : rows)
        table += line(row);
    if (leftOut > 0)
        table += QStringLiteral("  (%1 more rows left out: a table of more than %2 rows shows its first %3)\n")
                     .arg(leftOut)
                     .arg(WholeTableRows)
                     .arg(HeadRows);
    return table;
}

int shownRows(const QAbstractItemModel* model)
{
    return model->rowCount() > WholeTableRows ? HeadRows : model->rowCount();
}

int leftOut(const QAbstractItemModel* model)
{
    return model->rowCount() - shownRows(model);
}

// One line of cells per row, each cell the text of a role named in columns.
QList<QStringList> rowsOf(const QAbstractItemModel* model, const QList<const char*>& columns)
{
    QList<int> roles;
    for (const char* name : columns)
        roles.append(CameraTable::role(model, name));
    const int statusRole = CameraTable::role(model, "statusRole");
    QList<QStringList> rows;
    for (int row = 0; row < shownRows(model); ++row) {
        const QModelIndex index = model->index(row, 0);
        QStringList cells{QString::number(row + 1), CameraTable::statusName(index.data(statusRole).toInt())};
        for (int role : std::as_const(roles))
            cells.append(index.data(role).toString());
        rows.append(cells);
    }
    return rows;
}

} // namespace

namespace CameraTable {

QString statusName(int status)
{
    static const char* const names[StatusCount] = {"Checking", "Authorized", "Rejected", "Unreachable",
                                                   "Failed",   "Offline",    "Not checked"};
    return status >= 0 && status < StatusCount ? QString::fromLatin1(names[status])
                                               : QStringLiteral("Status %1").arg(status);
}

QString statusKey(int status)
{
    static const char* const keys[StatusCount] = {"Checking", "Authorized", "Rejected", "Unreachable",
                                                  "Failed",   "Offline",    "NotChecked"};
    return status >= 0 && status < StatusCount ? QString::fromLatin1(keys[status])
                                               : QStringLiteral("Status%1").arg(status);
}

int role(const QAbstractItemModel* model, const char* name)
{
    return model->roleNames().key(QByteArray(name), -1);
}

QString cameras(const QAbstractItemModel* model)
{
    // Cameras found by a search carry no host name; only those added by hand have one.
    return render({QStringLiteral("#"), QStringLiteral("STATUS"), QStringLiteral("IP"), QStringLiteral("MAC"),
                   QStringLiteral("PORT"), QStringLiteral("MODEL"), QStringLiteral("BRAND"),
                   QStringLiteral("HOST NAME (ADDED BY HAND)")},
                  rowsOf(model, {"ipRole", "macRole", "portRole", "modelRole", "brandNameRole", "hostNameRole"}),
                  leftOut(model));
}

QString stations(const QAbstractItemModel* model)
{
    return render({QStringLiteral("#"), QStringLiteral("STATUS"), QStringLiteral("IP"), QStringLiteral("HTTP"),
                   QStringLiteral("HTTPS"), QStringLiteral("MAC"), QStringLiteral("MODEL"),
                   QStringLiteral("QRLN FAMILY"), QStringLiteral("HOST NAME")},
                  rowsOf(model, {"ipRole", "portRole", "httpsPortRole", "macRole", "modelRole", "qrlnModelRole",
                                 "hostNameRole"}),
                  leftOut(model));
}

QString counts(const QString& label, const QAbstractItemModel* model)
{
    const int statusRole = role(model, "statusRole");
    QList<int> perStatus(StatusCount, 0);
    for (int row = 0; row < model->rowCount(); ++row) {
        const int status = model->index(row, 0).data(statusRole).toInt();
        if (status >= 0 && status < StatusCount)
            ++perStatus[status];
    }
    return counts(label, perStatus, model->rowCount());
}

QString counts(const QString& label, const QList<int>& perStatus, int total)
{
    QString line = QStringLiteral("counts[%1]:").arg(label);
    int counted = 0;
    for (int status = 0; status < StatusCount; ++status) {
        line += QStringLiteral(" %1=%2").arg(statusKey(status)).arg(perStatus.value(status));
        counted += perStatus.value(status);
    }
    if (counted != total)
        line += QStringLiteral(" Other=%1").arg(total - counted);
    return line + QStringLiteral(" total=%1").arg(total);
}

} // namespace CameraTable
