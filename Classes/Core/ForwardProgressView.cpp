#include <Core/ForwardProgressView.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(ForwardProgressView, UIProgressView) {}
