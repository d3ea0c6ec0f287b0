// `+[NSDictionary mm_identityPropertyMapWithModel:]`.
#pragma once

#include <Foundation/NSDictionary.h>

// A dictionary that maps every property key of the model class to itself: a JSON mapping whose JSON
// keys are the property names.
Ref<NSDictionary> mm_identityPropertyMapWithModel(Class modelClass);
