// The headers nearly every test includes: those of Platform.h, the views and controllers most screens'
// tests drive, the virtual clock and GoogleTest. Compiled once per build folder and reused by every test
// binary (dx_add_test in cmake/Layers.cmake); each test still includes what it uses.
#pragma once

#include "Platform.h"

#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSRunLoop.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

#include <gtest/gtest.h>
