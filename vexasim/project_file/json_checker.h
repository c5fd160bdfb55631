// The checks of a project file's JSON: each problem is collected with the place
// it was found ("graphs[0].measurements[1].name"), so that a file is refused with
// all its problems at once.
#pragma once
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace vexasim {

using json = nlohmann::ordered_json;

// Collects the problems of one file, each with the place it was found.
class Checker {
public:
    Checker(std::string where, std::vector<std::string>& errors) : where_(std::move(where)), errors_(errors) {}

    void Error(const std::string& place, const std::string& problem) {
        errors_.push_back(where_ + ": " + (place.empty() ? "" : place + ": ") + problem);
    }
    bool Ok() const { return errors_.empty(); }

    // Refuses keys other than the allowed ones.
    bool Object(const json& j, const std::string& place, std::initializer_list<const char*> allowed) {
        if (!j.is_object()) {
            Error(place, "expected an object");
            return false;
        }
        for (auto it = j.begin(); it != j.end(); ++it) {
            bool known = false;
            for (const char* k : allowed) known = known || it.key() == k;
            if (!known) Error(Join(place, it.key()), "unknown key");
        }
        return true;
    }
    bool String(const json& j, const char* key, const std::string& place, std::string& out, bool required = true) {
        auto it = j.find(key);
        if (it == j.end()) {
            if (required) Error(Join(place, key), "missing");
            return false;
        }
        if (!it->is_string()) {
            Error(Join(place, key), "expected a string");
            return false;
        }
        out = it->get<std::string>();
        return true;
    }
    bool NonEmptyString(const json& j, const char* key, const std::string& place, std::string& out) {
        if (!String(j, key, place, out)) return false;
        if (out.empty()) {
            Error(Join(place, key), "must not be empty");
            return false;
        }
        return true;
    }
    bool Integer(const json& j, const char* key, const std::string& place, long& out, bool required) {
        auto it = j.find(key);
        if (it == j.end()) {
            if (required) Error(Join(place, key), "missing");
            return false;
        }
        if (!it->is_number_integer()) {
            Error(Join(place, key), "expected an integer");
            return false;
        }
        out = it->get<long>();
        return true;
    }
    bool Array(const json& j, const char* key, const std::string& place, const json*& out, bool required) {
        auto it = j.find(key);
        if (it == j.end()) {
            if (required) Error(Join(place, key), "missing");
            return false;
        }
        if (!it->is_array()) {
            Error(Join(place, key), "expected an array");
            return false;
        }
        out = &*it;
        return true;
    }
    static std::string Join(const std::string& place, const std::string& key) {
        return place.empty() ? key : place + "." + key;
    }
    static std::string At(const std::string& place, size_t i) { return place + "[" + std::to_string(i) + "]"; }

private:
    std::string where_;
    std::vector<std::string>& errors_;
};

}  // namespace vexasim
