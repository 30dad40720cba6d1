// The interface of the small plug-ins the library-loading tests build.
#pragma once

class IDynLibTestPlugin {
public:
    virtual ~IDynLibTestPlugin() = default;
    virtual int Value() const = 0;
};
