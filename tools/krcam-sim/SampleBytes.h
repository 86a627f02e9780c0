#pragma once

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

// Pulls the next sample of an app sink and hands its bytes to use(data, size). Returns what an
// app sink's new-sample callback returns: GST_FLOW_EOS once the sink has no more samples.
template <class Use> GstFlowReturn pullSampleBytes(GstAppSink* sink, Use&& use)
{
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        use(map.data, map.size);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}
