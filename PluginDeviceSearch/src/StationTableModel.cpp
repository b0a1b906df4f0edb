#include "StationTableModel.h"

#include "CameraRoles.h"

StationTableModel::StationTableModel(QObject* parent)
    : QStandardItemModel(parent)
{
}

StationTableModel::~StationTableModel() = default;

QHash<int, QByteArray> StationTableModel::roleNames() const
{
    return {
        {StationRole::Id, QByteArrayLiteral("idRole")},
        {StationRole::Model, QByteArrayLiteral("modelRole")},
        {StationRole::Mac, QByteArrayLiteral("macRole")},
        {StationRole::Ip, QByteArrayLiteral("ipRole")},
        {StationRole::Port, QByteArrayLiteral("portRole")},
        {StationRole::Type, QByteArrayLiteral("typeRole")},
        {StationRole::Brand, QByteArrayLiteral("brandRole")},
        {StationRole::BrandName, QByteArrayLiteral("brandNameRole")},
        {StationRole::Status, QByteArrayLiteral("statusRole")},
        {StationRole::HostName, QByteArrayLiteral("hostNameRole")},
        {StationRole::HttpsPort, QByteArrayLiteral("httpsPortRole")},
        {StationRole::Password, QByteArrayLiteral("passwordRole")},
        {StationRole::QrlnModel, QByteArrayLiteral("qrlnModelRole")},
    };
}
