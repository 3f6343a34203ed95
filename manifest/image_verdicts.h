// What the warnings pass may know of the images it is to look into before
// it reads them: the facts of images found whole by an earlier look, for as
// long as their files stay as they were.
#pragma once

#include <string>

#include "image/image_check.h"
#include "image/image_facts.h"
#include "platform/file_system.h"

namespace nv {

// Whether an image found whole by a look `kept` deep is whole as a look
// `asked` deep would find it: decoding reads every block the structure
// walk reads, so a decode answers both questions, while a walk of the
// structure leaves the pixels undecoded and answers for the structure
// alone.
constexpr bool DepthAnswers(ImageDepth kept, ImageDepth asked) {
  return kept == ImageDepth::kDecode || asked == ImageDepth::kStructure;
}

// Asked from several threads at once.
class ImageVerdicts {
 public:
  virtual ~ImageVerdicts() = default;

  // Whether the image that the manifest names `name`, whose file has the
  // stamp `now`, was found whole by a look at least `asked` deep, as
  // DepthAnswers tells, that this stamp still vouches for; *facts are then
  // what that look found, and *kept how deep it went.
  virtual bool Find(const std::string& name, const FileStamp& now, ImageDepth asked,
                    ImageDepth* kept, ImageFacts* facts) = 0;

  // Tells of an image found whole `depth` deep, by a look or by Find, whose
  // file had the stamp `stamped` before it was read.
  virtual void Keep(const std::string& name, const FileStamp& stamped, ImageDepth depth,
                    const ImageFacts& facts) = 0;
};

}  // namespace nv
