// Looking up and interpreting what the reader built.
#include <charconv>
#include <cmath>
#include <system_error>

#include "trl4/yaml.h"

namespace trl4::yaml {

const Node *Node::find(std::string_view key) const noexcept {
    if (kind_ != Kind::Mapping) return nullptr;
    for (const Node &value : children_) {
        if (value.key_ == key) return &value;
    }
    return nullptr;
}

std::optional<int64_t> Node::toInteger() const {
    if (kind_ != Kind::Scalar) return std::nullopt;
    std::string_view v = text_;
    bool negative = false;
    if (!v.empty() && (v[0] == '-' || v[0] == '+')) {
        negative = v[0] == '-';
        v.remove_prefix(1);
    }
    int base = 10;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), magnitude, base);
    if (v.empty() || ec != std::errc() || end != v.data() + v.size() ||
        magnitude > (uint64_t{1} << 62)) {
        return std::nullopt;
    }
    const auto value = static_cast<int64_t>(magnitude);
    return negative ? -value : value;
}

std::optional<double> Node::toReal() const {
    if (kind_ != Kind::Scalar || text_.empty()) return std::nullopt;
    const char *first = text_.data();
    const char *last = first + text_.size();
    if (*first == '+') ++first;
    double value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<bool> Node::toBool() const {
    if (kind_ != Kind::Scalar) return std::nullopt;
    if (text_ == "true" || text_ == "yes") return true;
    if (text_ == "false" || text_ == "no") return false;
    return std::nullopt;
}

}  // namespace trl4::yaml
