#pragma once

#include <QString>

// One found device or station as the server described it; station rows are built
// from it.
struct DeviceInfo
{
    QString id;
    QString model;
    QString mac;
    QString ip;
    QString brandName;
    int httpPort = 0;
    int searchType = 0;
    int brand = 0;
    QString hostName;
    QString qrlnModel;
    int httpsPort = 0;
};
