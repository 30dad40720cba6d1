// A scripted stand-in for the image library's page processing object, put in
// place through the bridge's factory seam: it answers chosen codes, writes a
// chosen output file, counts its runs and the objects alive at once, and
// keeps what the latest run was given.
#pragma once

#include <string>

#include "imagelib/VdScnImgProc.h"

namespace fake_scn_img_proc {

enum class Output {
    WhitePage,  // a white BMP of the parameters' size (at least 1 x 1) and the scan type's depth
    NotBmp,     // bytes that do not read as a BMP
    Nothing,    // no file
};

struct Script {
    int openCode = 0;
    int execCode = 0;  // the output is written only for 0
    int resultCode = 0;
    int orientation = kSipOrientationUndetermined;  // the analysis reports it
    Output output = Output::WhitePage;
    bool noObject = false;  // the factory makes nothing
};

// What the latest run was given.
struct Seen {
    tagSIPSCNPARADT parameters{};
    bool cornersGiven = false;
    tagSIPPAPERCORNERS corners{};
    std::string input;  // the input file's bytes
};

// Installs the fake for its lifetime and restores the previous factory
// after. One at a time; set up before the threads that convert start.
class Installed {
public:
    explicit Installed(Script const& script);
    ~Installed();
    Installed(Installed const&) = delete;
    Installed& operator=(Installed const&) = delete;

    // Objects made so far; runs of ExecScnImgProc; the most objects alive at
    // the same time; objects alive now.
    int Made() const;
    int Runs() const;
    int MaxAlive() const;
    int Alive() const;
    Seen Last() const;
};

}  // namespace fake_scn_img_proc
