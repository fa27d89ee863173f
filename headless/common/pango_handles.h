// SPDX-License-Identifier: MIT
// pango's, GLib's and fontconfig's objects, owned (builds with pango only).
#pragma once

#include <fontconfig/fontconfig.h>
#include <glib-object.h>
#include <glib.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include "headless/common/owned.h"

namespace quorvel::headless {

using PangoContextPtr = Owned<PangoContext, g_object_unref>;
using PangoLayoutPtr = Owned<PangoLayout, g_object_unref>;
using PangoFontDescriptionPtr = Owned<PangoFontDescription, pango_font_description_free>;
using PangoAttrListPtr = Owned<PangoAttrList, pango_attr_list_unref>;
using PangoFontMetricsPtr = Owned<PangoFontMetrics, pango_font_metrics_unref>;
using GStringPtr = Owned<gchar, g_free>;
using FcPatternPtr = Owned<FcPattern, FcPatternDestroy>;

}  // namespace quorvel::headless
