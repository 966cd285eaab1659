#include "mesh/Node.h"

#include "mesh/Element.h"

Node::Node(int id, double x, double y, double z) : id(id), x(x), y(y), z(z) {}

void Node::addElement(std::shared_ptr<Element> element)
{
    elements.push_back(element);
}

std::vector<std::shared_ptr<Element>> Node::getElements() const
{
    // An element released by its owner must not make the node unusable.
    std::vector<std::shared_ptr<Element>> result;
    result.reserve(elements.size());
    for (const auto& entry : elements) {
        if (auto element = entry.lock())
            result.push_back(std::move(element));
    }
    return result;
}
