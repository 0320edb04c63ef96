// Fixed texts of the compressor's failures and the exception classes that carry them.
// Stored containers and the messages a user sees must stay stable, so the texts are kept
// exactly as they have always read, typos included ("edvise", "can open input file").
#pragma once

#include "editor/EdConsts.h"

#include <string>

namespace kvx {

namespace compressor_msg {

// Buffers and tables.
inline constexpr char kNoIoBuffers[] =
    "Compressor (de)compression : Failed to get memory for I/O buffers !";
inline constexpr char kNoHashTable[] = "CompressorQV : no memory for HASH table";
inline constexpr char kLzhNoTables[] = "LZH : Cannot get memory for dictionary tables";
// Kept for completeness: freeing cannot fail here, so nothing raises it.
inline constexpr char kLzhFreeTables[] = "LZH : Error freeing memory for dictionary tables";

// Finding the input size (compression).
inline constexpr char kNoInputSize[] =
    "Compressor compression : Failed to obtain the size of the input stream !";
inline constexpr char kNoInputSizeFile[] =
    "Compressor compression : Failed to obtain the size of : ";

// Opening or checking the two ends.
inline constexpr char kBadInputStream[] =
    "Compressor (de)compression : Failed to initialize input stream !";
inline constexpr char kOpenInputFile[] =
    "Compressor (de)compression : Failed to open input file : ";
inline constexpr char kBadOutputStream[] =
    "Compressor (de)compression : Failed to initialize output stream !";
inline constexpr char kOpenOutputFile[] =
    "Compressor (de)compression : Failed to open output file : ";

// Writing and reading.
inline constexpr char kWriteStream[] = "Compressor : Error writing to output stream !";
inline constexpr char kWriteFile[] = "Compressor : Error writing to output file : ";
inline constexpr char kReadStream[] = "Compressor : Error reading from input stream !";
inline constexpr char kReadFile[] = "Compressor : Error reading from input file : ";
inline constexpr char kQvSuffix[] = " (Compressor/QV)";
inline constexpr char kLzhSuffix[] = " (LZH)";

// Decompression.
inline constexpr char kNoHeader[] =
    "Compressor decompression : input stream contains no valid header !";
inline constexpr char kNoHeaderFileSuffix[] =
    " : Compressor decompression : this file has no valid header !";
inline constexpr char kQvSizeMismatch[] =
    "Compressor (decompression Compressor/QV) : Original and compressed sizes do not match !";
inline constexpr char kLzhSizeMismatch[] =
    "Compressor (LZH decompression) : Original and compressed sizes do not match !";
// A block that cannot have come from the compressor: a length over one chunk, items that
// run past the block, a copy from before the block's start or more than one chunk of output.
inline constexpr char kQvCorruptBlock[] =
    "Compressor (decompression Compressor/QV) : Corrupt compressed block !";
// A container file goes on after the point where the container itself says it ends.
inline constexpr char kTrailingDataFileSuffix[] =
    " : Compressor decompression : data follows the end of the container !";

// Compression of an input that the 32-bit size field cannot describe, or that changed size
// while it was read (the header would then promise a size the payload does not have).
inline constexpr char kInputTooLarge[] =
    "Compressor compression : The input is too large (4 GiB or more) !";
inline constexpr char kInputChanged[] =
    "Compressor compression : The input changed size while it was read !";

// Advise.
inline constexpr char kAdviseNoBuffers[] = "Compressor advise : Error getting I/O buffers";
inline constexpr char kAdviseNoSize[] = "Compressor advise : can not get size of inputstream !";
inline constexpr char kAdviseNoSizeFile[] = "Compressor advise : can not get the size of : ";
inline constexpr char kAdviseBadStream[] =
    "Compressor edvise : can not initialize the input stream!";
inline constexpr char kAdviseOpenFile[] = "Compressor advise : can open input file : ";
inline constexpr char kAdviseReadStream[] = "Compressor advise : input stream read error !";
inline constexpr char kAdviseReadFile[] = "Compressor advise : read error on input file : ";

} // namespace compressor_msg

// Every failure of the compressor. Derived from the editor's exception so that a caller
// that reports engine failures needs one catch.
class ECompressorException : public ESyntaxMemo {
  public:
    explicit ECompressorException(const std::string& text) : ESyntaxMemo(0, text) {}
};

// The LZH method's dictionary tables could not be allocated.
class ElzhException : public ECompressorException {
  public:
    using ECompressorException::ECompressorException;
};

// The block method's hash table could not be allocated.
class ECompressorQVCompressor : public ECompressorException {
  public:
    using ECompressorException::ECompressorException;
};

} // namespace kvx
