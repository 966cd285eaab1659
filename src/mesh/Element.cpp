#include "mesh/Element.h"

#include <cmath>
#include <limits>

#include "mesh/LinearElements.h"
#include "mesh/QuadraticElements.h"
#include "vemra_exception.h"

Element::Element(std::shared_ptr<void> owner, std::vector<std::shared_ptr<Node>> nodes)
    : owner(owner)
{
    setNodes(std::move(nodes));
}

std::shared_ptr<Element> Element::create(int gmshType)
{
    switch (gmshType) {
    case LINE: return std::make_shared<LINEelement>();
    case TRI: return std::make_shared<TRIelement>();
    case QUAD: return std::make_shared<QUADelement>();
    case TETRA: return std::make_shared<TETRAelement>();
    case HEXA: return std::make_shared<HEXAelement>();
    case PRISM: return std::make_shared<PRISMelement>();
    case PYRA: return std::make_shared<PYRAelement>();
    case LINE2: return std::make_shared<LINE2element>();
    case TRI2: return std::make_shared<TRI2element>();
    case TETRA2: return std::make_shared<TETRA2element>();
    }
    // A silent stand-in kind would be counted under the wrong type.
    throw vemra_exception("Element::create: unknown gmsh element type " + std::to_string(gmshType));
}

bool Element::isKnownType(int gmshType)
{
    switch (gmshType) {
    case LINE: case TRI: case QUAD: case TETRA: case HEXA:
    case PRISM: case PYRA: case LINE2: case TRI2: case TETRA2:
        return true;
    }
    return false;
}

std::vector<std::shared_ptr<Node>> Element::getNodes() const
{
    std::vector<std::shared_ptr<Node>> result;
    result.reserve(nodes.size());
    for (const auto& entry : nodes)
        result.emplace_back(entry); // throws std::bad_weak_ptr for a node that is gone
    return result;
}

void Element::setNodes(std::vector<std::shared_ptr<Node>> value)
{
    nodes.assign(value.begin(), value.end());
}

bool Element::containsNodesOf(std::shared_ptr<Element> other) const
{
    if (!other)
        throw vemra_exception("containsNodesOf: null argument");
    for (const auto& wanted : other->getNodes()) {
        bool found = false;
        for (const auto& entry : nodes) {
            if (entry.lock() == wanted) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

std::vector<double> Element::centroid() const
{
    if (nodes.empty()) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan};
    }
    double sx = 0.0, sy = 0.0, sz = 0.0;
    for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
        const auto node = nodeAt(i);
        sx += node->getX();
        sy += node->getY();
        sz += node->getZ();
    }
    const double count = static_cast<double>(nodes.size());
    return {sx / count, sy / count, sz / count};
}

std::shared_ptr<Node> Element::nodeAt(int position) const
{
    if (position < 0 || position >= static_cast<int>(nodes.size()))
        throw vemra_exception("Element " + std::to_string(id) + ": no node at position "
                              + std::to_string(position));
    auto node = nodes[position].lock();
    if (!node)
        throw vemra_exception("Element " + std::to_string(id) + ": node at position "
                              + std::to_string(position) + " no longer exists");
    return node;
}

void Element::requireNodes(int count) const
{
    for (int i = 0; i < count; ++i)
        nodeAt(i);
}

namespace {

struct Vec3 {
    double x, y, z;
};

Vec3 coordinates(const Node& node)
{
    return {node.getX(), node.getY(), node.getZ()};
}

Vec3 minus(const Vec3& a, const Vec3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double norm(const Vec3& a)
{
    return std::sqrt((a.x * a.x + a.y * a.y) + a.z * a.z);
}

} // namespace

double Element::distance(int first, int second) const
{
    return norm(minus(coordinates(*nodeAt(second)), coordinates(*nodeAt(first))));
}

double Element::triangleArea(int first, int second, int third) const
{
    const Vec3 origin = coordinates(*nodeAt(first));
    const Vec3 a = minus(coordinates(*nodeAt(second)), origin);
    const Vec3 b = minus(coordinates(*nodeAt(third)), origin);
    return 0.5 * norm(cross(a, b));
}

double Element::enclosedVolume(const IndexTable& faces, int cornerCount) const
{
    requireNodes(cornerCount);
    std::vector<Vec3> corners;
    Vec3 centre{0.0, 0.0, 0.0};
    for (int i = 0; i < cornerCount; ++i) {
        corners.push_back(coordinates(*nodeAt(i)));
        centre.x += corners.back().x / cornerCount;
        centre.y += corners.back().y / cornerCount;
        centre.z += corners.back().z / cornerCount;
    }
    // Signed tetrahedra from the centre over each face triangle; a quadrangle
    // face is split along its nodes 0-2.
    double sixfold = 0.0;
    for (const auto& face : faces) {
        for (std::size_t k = 1; k + 1 < face.size(); ++k) {
            const Vec3 a = minus(corners[face[0]], centre);
            const Vec3 b = minus(corners[face[k]], centre);
            const Vec3 c = minus(corners[face[k + 1]], centre);
            sixfold += dot(a, cross(b, c));
        }
    }
    return std::abs(sixfold) / 6.0;
}

std::vector<ElementFace> Element::facesFromTable(const IndexTable& faces) const
{
    std::vector<ElementFace> result;
    result.reserve(faces.size());
    for (const auto& face : faces) {
        std::vector<int> ids;
        ids.reserve(face.size());
        for (int position : face)
            ids.push_back(nodeAt(position)->getId());
        result.emplace_back(std::move(ids), id);
    }
    return result;
}

std::vector<std::shared_ptr<Node>> Element::neighboursFromTable(const std::shared_ptr<Node>& node,
                                                                const IndexTable& rows) const
{
    if (!node)
        throw vemra_exception("getEdgeNeighbours: null argument");
    const int count = static_cast<int>(rows.size());
    requireNodes(count);
    for (int i = 0; i < count; ++i) {
        if (nodeAt(i) != node)
            continue;
        std::vector<std::shared_ptr<Node>> result;
        for (int position : rows[i])
            result.push_back(nodeAt(position));
        return result;
    }
    return {};
}

std::vector<std::shared_ptr<Node>> Element::allOtherNodes(const std::shared_ptr<Node>& node) const
{
    if (!node)
        throw vemra_exception("getEdgeNeighbours: null argument");
    std::vector<std::shared_ptr<Node>> locked;
    locked.reserve(nodes.size());
    bool held = false;
    for (const auto& entry : nodes) {
        locked.push_back(entry.lock());
        held = held || locked.back() == node;
    }
    if (!held)
        return {};
    std::vector<std::shared_ptr<Node>> result;
    for (auto& candidate : locked) {
        if (candidate != node)
            result.push_back(std::move(candidate)); // a node that is gone stays an empty entry
    }
    return result;
}

void Element::markMidNodesFrom(int first, int last)
{
    // Check every position first so that a failure marks nothing.
    for (int i = first; i <= last; ++i)
        nodeAt(i);
    for (int i = first; i <= last; ++i)
        nodeAt(i)->setMidNode(true);
}
