#pragma once

// Configuration block that the host may hand to the extended processors.
// Plug-ins that have no configuration of their own ignore it.
class ConfigBase
{
public:
    virtual ~ConfigBase() = default;
};
