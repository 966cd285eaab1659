#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepGProp.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRep_Builder.hxx>
#include <GProp_GProps.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS_Compound.hxx>
#include <gp_Pnt.hxx>

// Small shapes with measures known by hand, and counters to check them.

inline TopoDS_Shape boxAt(double x, double y, double z, double dx = 1, double dy = 1, double dz = 1)
{
    return BRepPrimAPI_MakeBox(gp_Pnt(x, y, z), dx, dy, dz).Shape();
}

// Axis-aligned square [x0, x0 + size] x [y0, y0 + size] in the plane z.
inline TopoDS_Shape squareAt(double x0, double y0, double z, double size = 1.0)
{
    return BRepBuilderAPI_MakeFace(BRepBuilderAPI_MakePolygon(gp_Pnt(x0, y0, z), gp_Pnt(x0 + size, y0, z),
                                                              gp_Pnt(x0 + size, y0 + size, z),
                                                              gp_Pnt(x0, y0 + size, z), true)
                                       .Wire(),
                                   true)
        .Shape();
}

inline TopoDS_Shape segment(gp_Pnt a, gp_Pnt b)
{
    return BRepBuilderAPI_MakeEdge(a, b).Shape();
}

template <typename... Shapes>
TopoDS_Shape compoundOf(const Shapes&... shapes)
{
    BRep_Builder builder;
    TopoDS_Compound compound;
    builder.MakeCompound(compound);
    (builder.Add(compound, shapes), ...);
    return compound;
}

// Distinct sub-shapes of a type, as the kernel's map counts them.
inline int countOf(const TopoDS_Shape& shape, TopAbs_ShapeEnum type)
{
    TopTools_IndexedMapOfShape map;
    TopExp::MapShapes(shape, type, map);
    return map.Extent();
}

inline double volumeOf(const TopoDS_Shape& shape)
{
    GProp_GProps properties;
    BRepGProp::VolumeProperties(shape, properties);
    return properties.Mass();
}

// A fresh, empty directory below the test temp directory.
inline std::string freshDirectory(const std::string& name)
{
    const char* temp = std::getenv("TEMP");
    const std::filesystem::path directory =
        std::filesystem::path(temp != nullptr ? temp : "/tmp") / "geometryData" / name;
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    return directory.string();
}

// Sets or unsets an environment variable for one scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name)
    {
        const char* old = std::getenv(name);
        hadValue = old != nullptr;
        if (hadValue) {
            oldValue = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment()
    {
        if (hadValue) {
            setenv(name, oldValue.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name;
    bool hadValue = false;
    std::string oldValue;
};

#include "vemra_exception.h"

// The message of the system's exception raised by the call, or "<no exception>".
template <typename Call>
std::string thrownMessage(Call&& call)
{
    try {
        call();
    } catch (const vemra_exception& error) {
        return error.what();
    }
    return "<no exception>";
}

#include <mutex>
#include <vector>

#include <easylogging++.h>

// Records the messages logged at one level while it lives (from any thread).
class LogCapture {
public:
    explicit LogCapture(el::Level level)
    {
        Recorder::level = level;
        Recorder::clear();
        el::Helpers::installLogDispatchCallback<Recorder>("LogCapture");
    }
    ~LogCapture() { el::Helpers::uninstallLogDispatchCallback<Recorder>("LogCapture"); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The recorded messages that contain the text.
    std::vector<std::string> containing(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(Recorder::mutex());
        std::vector<std::string> found;
        for (const auto& message : Recorder::messages()) {
            if (message.find(text) != std::string::npos) {
                found.push_back(message);
            }
        }
        return found;
    }

private:
    class Recorder : public el::LogDispatchCallback {
    public:
        static inline el::Level level = el::Level::Error;
        static std::mutex& mutex()
        {
            static std::mutex instance;
            return instance;
        }
        static std::vector<std::string>& messages()
        {
            static std::vector<std::string> instance;
            return instance;
        }
        static void clear()
        {
            std::lock_guard<std::mutex> lock(mutex());
            messages().clear();
        }

    protected:
        void handle(const el::LogDispatchData* data) override
        {
            if (data->logMessage()->level() == level) {
                std::lock_guard<std::mutex> lock(mutex());
                messages().push_back(data->logMessage()->message());
            }
        }
    };
};
