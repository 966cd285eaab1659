#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "vemra_exception.h"

// Lookups the model shares between its entity, domain and boundary lists.

// The first item of that name; the model's own message names the kind searched.
template <class Item>
std::shared_ptr<Item> findByName(const std::vector<std::shared_ptr<Item>>& items, const std::string& name,
                                 const std::string& kind)
{
    for (const auto& item : items) {
        if (item->getName() == name) {
            return item;
        }
    }
    throw vemra_exception("Error in geometry data: Could not find " + kind + " " + name +
                          ". Check your geometry input!");
}

// The largest id of the items, never below start.
template <class Item>
int highestId(const std::vector<std::shared_ptr<Item>>& items, int start = 0)
{
    for (const auto& item : items) {
        start = std::max(start, item->getId());
    }
    return start;
}
