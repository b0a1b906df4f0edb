#pragma once

#include "PluginHarness.h"

#include <QAbstractItemModelTester>

#include <memory>
#include <vector>

// Checks every signal of the plug-in's four models for as long as it lives; declare
// it after the harness so it goes first.
class ModelTesters
{
public:
    explicit ModelTesters(const PluginHarness& h)
    {
        const QList<QAbstractItemModel*> models{h.cameraModel(), h.cameraProxy(), h.stationModel(),
                                                h.stationProxy()};
        for (QAbstractItemModel* model : models)
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::QtTest));
    }

private:
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
};

// A loaded, initialised plug-in whose four models are checked for as long as it lives.
struct CheckedHarness : PluginHarness
{
    ModelTesters testers{*this};
};
