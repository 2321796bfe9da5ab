// The record decoders: CHuffmanFilter and CRleFilter and the model built from charfreq.dat and wordfreq.dat.
#pragma once

namespace lodex {

struct Base;

struct RecordCodec {};

}  // namespace lodex
