#pragma once

// Wall-clock seconds spent in each phase of the last CAD reading call made on
// this thread (GeometryData::readCADfiles); the benchmark prints them.
struct CadReadTimes {
    double read = 0.0;
    double repair = 0.0;
    double fuse = 0.0;
    double entitiesAndRelations = 0.0;
    double brepExport = 0.0;
};

CadReadTimes lastCadReadTimes();
