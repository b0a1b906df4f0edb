#pragma once

#include <QStandardItemModel>

// The searched and hand-added recording stations, one column-0 item per station.
class StationTableModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit StationTableModel(QObject* parent = nullptr);
    ~StationTableModel() override;

    QHash<int, QByteArray> roleNames() const override;
};
