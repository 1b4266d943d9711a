// Shared by the contract tests: loads the built module once and makes instances.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/vsthost.h"

namespace contract {

inline const std::string& ModulePath() {
    static const std::string path = std::string("./") + PLUGIN_MODULE_FILE;
    return path;
}

inline vsthost::Module& TheModule() {
    static vsthost::Module module(ModulePath());
    return module;
}

// A host and one instance of the plug-in.
struct Rig {
    vsthost::Host host;
    std::unique_ptr<vsthost::Instance> plugin;

    explicit Rig(const char* entryName = "VSTPluginMain") {
        auto entry = reinterpret_cast<VstPluginMainProc>(TheModule().symbol(entryName));
        AEffect* effect = host.instantiate(entry);
        if (effect) plugin = std::make_unique<vsthost::Instance>(effect, host);
    }
    vsthost::Instance& operator*() { return *plugin; }
    vsthost::Instance* operator->() { return plugin.get(); }
};

} // namespace contract
