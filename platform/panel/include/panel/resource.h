// Reading and building panel resources (format in RESOURCE.md).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/model.h"

namespace panel {

struct PanelSpec;

struct ControlSpec {
    Control control;  // callbacks unresolved: only callbackName is set
    int line = 0;
    int callbackLine = 0;
    std::vector<PanelSpec> pages;  // tab control
};

// A top-level panel (resourceId > 0) or a tab page (pageIndex >= 0).
struct PanelSpec {
    std::string constant;
    int resourceId = 0;
    int pageIndex = -1;
    std::string title;  // page: its tab caption
    Geometry geometry;
    std::string callbackName;
    int callbackLine = 0;
    int closeControl = 0;
    int defaultControl = 0;
    bool sizable = false;
    std::uint32_t background = 0xC0C0C0;
    int line = 0;
    std::vector<ControlSpec> controls;
};

struct Resource {
    std::string fileName;
    std::vector<PanelSpec> panels;

    const PanelSpec *find(int resourceId) const;
    std::size_t controlCount() const;  // every control of every panel and page
};

// Parses and checks a whole resource. On failure returns false and sets `error` to
// "FILE:LINE: reason".
bool parseResource(std::string_view text, const std::string &fileName, Resource &out,
                   std::string &error);
bool loadResourceFile(const std::string &path, Resource &out, std::string &error);

// Builds panel `resourceId` (with its pages) into the model under `parent`; every callback
// name is resolved first, so a failure leaves the model untouched. Returns the handle or a
// negative UIE_ status with `error` set.
int buildPanel(Model &model, const Resource &resource, int resourceId, int parent,
               const CallbackLookup &lookup, std::string &error);

}  // namespace panel
