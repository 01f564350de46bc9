#include "imageio/countfile.h"
