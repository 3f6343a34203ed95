// What the warnings pass may know of the images it is to decode before it
// decodes them: the facts of images found whole by an earlier decode, for
// as long as their files stay as they were.
#pragma once

#include <string>

#include "image/image_facts.h"
#include "platform/file_system.h"

namespace nv {

// Asked from several threads at once.
class ImageVerdicts {
 public:
  virtual ~ImageVerdicts() = default;

  // Whether the image that the manifest names `name`, whose file has the
  // stamp `now`, was found whole by a decode that this stamp still vouches
  // for; *facts are then what that decode found.
  virtual bool Find(const std::string& name, const FileStamp& now, ImageFacts* facts) = 0;

  // Tells of an image found whole, by a decode or by Find, whose file had
  // the stamp `stamped` before it was read.
  virtual void Keep(const std::string& name, const FileStamp& stamped, const ImageFacts& facts) = 0;
};

}  // namespace nv
