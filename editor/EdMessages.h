// Numbers of the requests the editor control answers through TCustomSyntaxMemo::Perform: the
// edit-control requests of the windowing system under their usual names, and the control's
// own requests from 3072 on. The argument layout of each is described in MemoMessages.cpp.
//
// The names carry a lowercase prefix, as the command ids do, so that they can never collide
// with the windowing system's own macros of the same names where its headers are included.
#pragma once

#include <cstdint>

namespace kvx {

enum TMemoRequest : uint32_t {
    // ---- Standard requests -------------------------------------------------------------
    wmSETTEXT = 12,
    wmGETTEXT = 13,
    wmGETTEXTLENGTH = 14,
    emGETSEL = 176,
    emSETSEL = 177,
    emLINESCROLL = 182,
    emSCROLLCARET = 183,
    emGETMODIFY = 184,
    emGETLINECOUNT = 186,
    emLINEINDEX = 187,
    emLINELENGTH = 193,
    emREPLACESEL = 194,
    emGETLINE = 196,
    emCANUNDO = 198,
    emUNDO = 199,
    emLINEFROMCHAR = 201,
    emEMPTYUNDOBUFFER = 205,
    emGETFIRSTVISIBLELINE = 206,
    emPOSFROMCHAR = 214,
    emCHARFROMPOS = 215,
    wmCUT = 768,
    wmCOPY = 769,
    wmPASTE = 770,
    wmUNDO = 772,

    // ---- The control's own requests ----------------------------------------------------
    smmSELECTION = 3072,
    smmOPTIONS = 3073,
    smmREPLACESEL = 3074,
    smmPAINTLOCK = 3077,
    smmINSERTSTREAM = 3078,
    smmWRITESTREAM = 3079,
    smmMODIFIED = 3080,
    smmFIRSTLINE = 3081,
    smmFIRSTCOLUMN = 3082,
    smmFINDDIALOG = 3083,
    smmREPLACEDIALOG = 3084,
    smmGETSELTEXT = 3085,
    smmCANREDO = 3086,
    smmREDO = 3087,
    smmINDENT = 3088,
    smmUNINDENT = 3089,
    smmSETTINGSCHANGED = 3090,
    smmSETSTYLES = 3091,
    smmGETSTYLES = 3092,
    smmUNDOLOG = 3093,
    smmTEXTSTORE = 3096,
    smmRESCANFROM = 3105,
};

// The flag word in the first argument of the own requests that set or get a value.
enum TMemoRequestFlag : uint32_t {
    smfSet = 1,       // set the value (clear: return it)
    smfNoRepaint = 2, // set without repainting now; the caller repaints later
};

// The flag word of smmWRITESTREAM (smmGETSELTEXT knows only wfCRLF). Without a break flag
// the stored line breaks (one carriage return each) are written.
enum TWriteFlag : uint32_t {
    wfCRLF = 1,
    wfRTF = 2,
    wfHTML = 4,
    wfLF = 8,
};

} // namespace kvx
