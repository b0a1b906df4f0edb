#include "CameraTable.h"

#include <QAbstractItemModel>
#include <QList>
#include <QStringList>

namespace {

// Role numbers of the plug-in's models, as QML reaches them by name.
namespace Camera {
constexpr int Model = Qt::UserRole + 1;
constexpr int Mac = Qt::UserRole + 2;
constexpr int Ip = Qt::UserRole + 3;
constexpr int Port = Qt::UserRole + 4;
constexpr int Status = Qt::UserRole + 6;
constexpr int BrandName = Qt::UserRole + 10;
constexpr int HostName = Qt::UserRole + 11;
} // namespace Camera

namespace Station {
constexpr int Model = Qt::UserRole + 2;
constexpr int Mac = Qt::UserRole + 3;
constexpr int Ip = Qt::UserRole + 4;
constexpr int Port = Qt::UserRole + 5;
constexpr int Status = Qt::UserRole + 9;
constexpr int HostName = Qt::UserRole + 10;
constexpr int HttpsPort = Qt::UserRole + 11;
constexpr int QrlnModel = Qt::UserRole + 13;
} // namespace Station

constexpr int StatusCount = 7;

QString render(const QStringList& header, const QList<QStringList>& rows)
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
        return text + QLatin1Char('\n');
    };
    QString table = line(header);
    QStringList rules;
    for (qsizetype width : std::as_const(widths))
        rules.append(QString(width, QLatin1Char('-')));
    table += line(rules);
    for (const QStringList& row : rows)
        table += line(row);
    return table;
}

QString text(const QModelIndex& index, int role)
{
    return index.data(role).toString();
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

QString cameras(const QAbstractItemModel* model)
{
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        rows.append({QString::number(row + 1), statusName(index.data(Camera::Status).toInt()), text(index, Camera::Ip),
                     text(index, Camera::Mac), text(index, Camera::Port), text(index, Camera::Model),
                     text(index, Camera::BrandName), text(index, Camera::HostName)});
    }
    return render({QStringLiteral("#"), QStringLiteral("STATUS"), QStringLiteral("IP"), QStringLiteral("MAC"),
                   QStringLiteral("PORT"), QStringLiteral("MODEL"), QStringLiteral("BRAND"),
                   QStringLiteral("HOST NAME")},
                  rows);
}

QString stations(const QAbstractItemModel* model)
{
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        rows.append({QString::number(row + 1), statusName(index.data(Station::Status).toInt()),
                     text(index, Station::Ip), text(index, Station::Port), text(index, Station::HttpsPort),
                     text(index, Station::Mac), text(index, Station::Model), text(index, Station::QrlnModel),
                     text(index, Station::HostName)});
    }
    return render({QStringLiteral("#"), QStringLiteral("STATUS"), QStringLiteral("IP"), QStringLiteral("HTTP"),
                   QStringLiteral("HTTPS"), QStringLiteral("MAC"), QStringLiteral("MODEL"),
                   QStringLiteral("QRLN FAMILY"), QStringLiteral("HOST NAME")},
                  rows);
}

QString counts(const QString& label, const QAbstractItemModel* model, int statusRole)
{
    int perStatus[StatusCount] = {};
    int other = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const int status = model->index(row, 0).data(statusRole).toInt();
        if (status >= 0 && status < StatusCount)
            ++perStatus[status];
        else
            ++other;
    }
    QString line = QStringLiteral("counts[%1]:").arg(label);
    for (int status = 0; status < StatusCount; ++status)
        line += QStringLiteral(" %1=%2").arg(statusKey(status)).arg(perStatus[status]);
    if (other)
        line += QStringLiteral(" Other=%1").arg(other);
    return line + QStringLiteral(" total=%1").arg(model->rowCount());
}

} // namespace CameraTable
