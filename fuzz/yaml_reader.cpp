// Any text is either read whole or refused with a line; whatever text it holds, the writer
// quotes it so that it reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trl4/yaml.h"

namespace {

void checkQuoting(const trl4::yaml::Node &node) {
    if (node.isScalar()) {
        trl4::yaml::Node back;
        trl4::yaml::Error error;
        if (!trl4::yaml::parse("k: " + trl4::yaml::quote(node.text()), back, error)) std::abort();
        const trl4::yaml::Node *value = back.find("k");
        if (!value || !value->isScalar()) std::abort();
        if (value->text() != node.text()) std::abort();
    }
    for (const trl4::yaml::Node &child : node.children())
        checkQuoting(child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    trl4::yaml::Node root;
    trl4::yaml::Error error;
    if (trl4::yaml::parse(text, root, error)) {
        if (!error.message.empty()) std::abort();
        checkQuoting(root);
    } else if (error.line < 1 || error.message.empty() || !root.isNull()) {
        std::abort();
    }
    return 0;
}
