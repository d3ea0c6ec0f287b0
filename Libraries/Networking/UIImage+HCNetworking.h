// An image made from data under one process-wide lock, for decoders that are not thread-safe.
#pragma once

#include <UIKit/UIImage.h>

Ref<UIImage> hc_safeImageWithData(const Ref<NSData>& data);
