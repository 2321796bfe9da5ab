#include "record_coder.h"

#include <algorithm>
#include <limits>
#include <map>

#include "format/data.h"
#include "format/wordfreq.h"

namespace lodex::build {

using format::kRunEscape;

void ZeroRunEncode(std::string_view record, std::string& out) {
  const size_t n = record.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t b = static_cast<uint8_t>(record[i]);
    if (b == 0xFF) {
      out.push_back(static_cast<char>(kRunEscape));
      out.push_back(static_cast<char>(format::kRunLiteralFF));
      ++i;
      continue;
    }
    if (b != 0) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < n && record[i + run] == 0) ++run;
    i += run;
    while (run > 0) {
      if (run == 1) {
        out.push_back('\0');
        run = 0;
      } else if (run <= static_cast<size_t>(format::kMaxShortRun)) {
        out.push_back(static_cast<char>(kRunEscape));
        out.push_back(static_cast<char>(run - 1));
        run = 0;
      } else {
        const size_t chunk = std::min<size_t>(run, format::kMaxLongRun);
        out.push_back(static_cast<char>(kRunEscape));
        out.push_back(static_cast<char>(format::kRunLongForm));
        out.push_back(static_cast<char>((chunk - 1) & 0xFF));
        out.push_back(static_cast<char>((chunk - 1) >> 8));
        run -= chunk;
      }
    }
  }
}

// ---------------------------------------------------------------------------------
// Phrase choice

namespace {

// Letters and digits of Windows-1252, including the accented capitals and smalls.
bool IsWordByte(uint8_t b) {
  if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return true;
  if (b == 0x8A || b == 0x8C || b == 0x9A || b == 0x9C || b == 0x9F) return true;
  return b >= 0xC0 && b != 0xD7 && b != 0xF7;
}

bool IsDigit(uint8_t b) { return b >= '0' && b <= '9'; }

// Trie nodes with this many children look them up in a table instead of a list.
constexpr size_t kDenseChildren = 8;

// Longer candidates than this are rare repeats and only bloat the table.
constexpr size_t kMaxCandidate = 48;
constexpr uint32_t kMinCandidateCount = 3;
constexpr size_t kLongNumber = 5;

}  // namespace

void PhraseChooser::Count(std::string_view candidate) {
  if (candidate.size() < 2 || candidate.size() > kMaxCandidate) return;
  // Long digit runs are article, el. and EAN numbers: they hardly ever repeat.
  if (candidate.size() >= kLongNumber &&
      std::all_of(candidate.begin(), candidate.end(), [](char c) { return IsDigit(static_cast<uint8_t>(c)) || c == ' '; }))
    return;
  if (counts_.empty()) counts_.reserve(1 << 16);
  auto it = counts_.find(candidate);
  if (it != counts_.end()) ++it->second;
  else counts_.emplace(std::string(candidate), 1);
}

void PhraseChooser::AddSample(std::string_view coded) {
  size_t start = 0;
  while (start <= coded.size()) {
    size_t end = coded.find('\0', start);
    if (end == std::string_view::npos) end = coded.size();
    const std::string_view seg = coded.substr(start, end - start);
    start = end + 1;
    if (seg.empty()) continue;

    Count(seg);  // the whole field text: units, makers, codes repeat verbatim

    // Words (a run of letters and digits plus the one separator after it), pairs of
    // adjacent words, and the letter runs and digit runs inside mixed words.
    size_t prev_begin = std::string_view::npos, prev_end = 0;
    size_t i = 0;
    while (i < seg.size()) {
      if (!IsWordByte(static_cast<uint8_t>(seg[i]))) {
        ++i;
        continue;
      }
      const size_t a = i;
      bool mixed = false;
      while (i < seg.size() && IsWordByte(static_cast<uint8_t>(seg[i]))) {
        if (i > a && IsDigit(static_cast<uint8_t>(seg[i])) != IsDigit(static_cast<uint8_t>(seg[i - 1])))
          mixed = true;
        ++i;
      }
      const size_t b = i;
      const size_t e = b < seg.size() ? b + 1 : b;
      Count(seg.substr(a, e - a));
      if (prev_begin != std::string_view::npos && prev_end == a)
        Count(seg.substr(prev_begin, e - prev_begin));
      prev_begin = a;
      prev_end = e;
      if (mixed) {
        size_t r = a;
        while (r < b) {
          size_t q = r + 1;
          while (q < b && IsDigit(static_cast<uint8_t>(seg[q])) == IsDigit(static_cast<uint8_t>(seg[r]))) ++q;
          if (q - r >= 2) Count(seg.substr(r, q - r));
          r = q;
        }
      }
    }
  }
}

std::vector<std::string> PhraseChooser::Choose(size_t max_phrases) const {
  std::vector<std::pair<uint64_t, const std::string*>> ranked;
  ranked.reserve(counts_.size() / 4);
  for (const auto& [text, count] : counts_) {
    if (count < kMinCandidateCount) continue;
    ranked.emplace_back(static_cast<uint64_t>(count) * (text.size() - 1), &text);
  }
  std::sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) {
    return x.first != y.first ? x.first > y.first : *x.second < *y.second;
  });
  if (ranked.size() > max_phrases) ranked.resize(max_phrases);
  std::vector<std::string> out;
  out.reserve(ranked.size());
  for (const auto& r : ranked) out.push_back(*r.second);
  return out;
}

// ---------------------------------------------------------------------------------
// Trie

PhraseTrie::PhraseTrie(const std::vector<std::string>& phrases) : root_(256, -1) {
  // Build with ordered child maps, then flatten into sorted edge runs.
  std::vector<std::map<uint8_t, uint32_t>> kids(1);
  std::vector<int32_t> symbol(1, -1);
  for (size_t k = 0; k < phrases.size(); ++k) {
    uint32_t node = 0;
    for (unsigned char c : phrases[k]) {
      auto it = kids[node].find(c);
      if (it == kids[node].end()) {
        const uint32_t child = static_cast<uint32_t>(kids.size());
        kids[node].emplace(c, child);
        kids.emplace_back();
        symbol.push_back(-1);
        node = child;
      } else {
        node = it->second;
      }
    }
    if (node != 0 && symbol[node] < 0) symbol[node] = kByteSymbols + static_cast<int32_t>(k);
  }
  nodes_.resize(kids.size());
  for (size_t n = 0; n < kids.size(); ++n) {
    nodes_[n].symbol = symbol[n];
    nodes_[n].first_edge = static_cast<uint32_t>(edges_.size());
    nodes_[n].edge_count = static_cast<uint16_t>(kids[n].size());
    for (const auto& [byte, child] : kids[n]) edges_.push_back({byte, child});
    if (n > 0 && kids[n].size() >= kDenseChildren) {
      nodes_[n].dense = static_cast<int32_t>(dense_.size() / 256);
      dense_.resize(dense_.size() + 256, -1);
      for (const auto& [byte, child] : kids[n])
        dense_[static_cast<size_t>(nodes_[n].dense) * 256 + byte] = static_cast<int32_t>(child);
    }
  }
  for (const auto& [byte, child] : kids[0]) root_[byte] = static_cast<int32_t>(child);
}

int32_t PhraseTrie::Child(uint32_t node, uint8_t byte) const {
  const Node& n = nodes_[node];
  if (n.dense >= 0) return dense_[static_cast<size_t>(n.dense) * 256 + byte];
  for (uint32_t e = n.first_edge, end = n.first_edge + n.edge_count; e < end; ++e) {
    if (edges_[e].byte == byte) return static_cast<int32_t>(edges_[e].child);
  }
  return -1;
}

std::pair<int32_t, size_t> PhraseTrie::Longest(std::string_view text, size_t pos) const {
  std::pair<int32_t, size_t> best{-1, 0};
  ForEachMatch(text, pos, [&](int32_t symbol, size_t length) { best = {symbol, length}; });
  return best;
}

void CountGreedy(const PhraseTrie& trie, std::string_view coded, std::vector<uint64_t>& usage) {
  size_t i = 0;
  while (i < coded.size()) {
    const auto [symbol, length] = trie.Longest(coded, i);
    if (length >= 2) {
      ++usage[symbol];
      i += length;
    } else {
      ++usage[static_cast<uint8_t>(coded[i])];
      ++i;
    }
  }
}

std::vector<std::string> KeepUsedPhrases(const std::vector<std::string>& phrases,
                                         std::vector<uint64_t>& usage, uint64_t min_uses) {
  std::vector<std::string> kept;
  std::vector<uint64_t> kept_usage(usage.begin(), usage.begin() + kByteSymbols);
  for (size_t k = 0; k < phrases.size(); ++k) {
    const uint64_t uses = usage[kByteSymbols + k];
    if (uses >= min_uses) {
      kept.push_back(phrases[k]);
      kept_usage.push_back(uses);
    } else {
      for (unsigned char c : phrases[k]) kept_usage[c] += uses;
    }
  }
  usage = std::move(kept_usage);
  return kept;
}

// ---------------------------------------------------------------------------------
// Model

bool RecordModel::Build(const std::vector<std::string>& phrase_texts,
                        const std::vector<uint64_t>& usage, RecordModel* model) {
  const size_t symbols = kByteSymbols + phrase_texts.size();
  // Huffman nodes add weights as signed 32-bit numbers: keep the total well below 2^31.
  constexpr uint64_t kWeightBudget = uint64_t{1} << 29;
  uint64_t total = 0;
  for (size_t s = 0; s < symbols; ++s) total += usage[s];
  const uint64_t divisor = total > kWeightBudget ? total / kWeightBudget + 1 : 1;
  auto scaled = [&](uint64_t u) -> int64_t {
    if (u == 0) return 0;
    return static_cast<int64_t>(std::max<uint64_t>(1, u / divisor));
  };

  // The engine derives phrase k's weight as count * length and takes count off each of
  // its bytes; choose count ~ uses / length and put the bytes' share back into charfreq
  // so that both derived weights come out as the number of uses.
  model->phrases.clear();
  int64_t charfreq[kByteSymbols];
  for (int b = 0; b < kByteSymbols; ++b) charfreq[b] = scaled(usage[b]);
  for (size_t k = 0; k < phrase_texts.size(); ++k) {
    const std::string& text = phrase_texts[k];
    const int64_t len = static_cast<int64_t>(text.size());
    const int64_t uses = scaled(usage[kByteSymbols + k]);
    const int64_t count = std::max<int64_t>(1, (uses + len / 2) / std::max<int64_t>(1, len));
    model->phrases.push_back({static_cast<int32_t>(count), text});
    for (unsigned char c : text) charfreq[c] += count;
  }
  for (int b = 0; b < kByteSymbols; ++b) {
    if (charfreq[b] > std::numeric_limits<int32_t>::max()) return false;
    model->charfreq[b] = static_cast<int32_t>(charfreq[b]);
  }
  model->code = BuildHuffmanCode(ModelWeights(model->charfreq, model->phrases));
  return model->code.status == kHuffmanOk;
}

// ---------------------------------------------------------------------------------
// Encoder

RecordEncoder::RecordEncoder(const RecordModel& model) : model_(model), trie_([&] {
  std::vector<std::string> texts;
  texts.reserve(model.phrases.size());
  for (const Phrase& p : model.phrases) texts.push_back(p.text);
  return texts;
}()) {}

void RecordEncoder::Parse(std::string_view coded) {
  const size_t n = coded.size();
  cost_.assign(n + 1, 0);
  choice_.resize(n);
  length_.resize(n);
  const std::vector<int16_t>& len = model_.code.lengths;
  for (size_t i = n; i-- > 0;) {
    const uint8_t b = static_cast<uint8_t>(coded[i]);
    uint32_t best = static_cast<uint32_t>(len[b]) + cost_[i + 1];
    int32_t pick = b;
    size_t pick_len = 1;
    trie_.ForEachMatch(coded, i, [&](int32_t symbol, size_t length) {
      if (length < 2) return;
      const uint32_t c = static_cast<uint32_t>(len[symbol]) + cost_[i + length];
      if (c < best) {
        best = c;
        pick = symbol;
        pick_len = length;
      }
    });
    cost_[i] = best;
    choice_[i] = pick;
    length_[i] = static_cast<uint8_t>(pick_len);
  }
}

uint64_t RecordEncoder::Encode(std::string_view coded, std::string& out) {
  Parse(coded);
  const std::vector<int16_t>& len = model_.code.lengths;
  const std::vector<uint64_t>& codes = model_.code.codes;
  uint64_t acc = 0;  // pending bits, fewer than 8 between symbols
  int pending = 0;
  uint64_t bits = 0;
  auto put = [&](uint64_t value, int count) {  // count <= 32
    acc = (acc << count) | (value & ((uint64_t{1} << count) - 1));
    pending += count;
    while (pending >= 8) {
      out.push_back(static_cast<char>(acc >> (pending - 8)));
      pending -= 8;
    }
    acc &= (uint64_t{1} << pending) - 1;
  };
  for (size_t i = 0; i < coded.size(); i += length_[i]) {
    const int32_t s = choice_[i];
    const int l = len[s];
    const uint64_t code = codes[s];
    if (l > 32) {
      put(code >> 32, l - 32);
      put(code & 0xFFFFFFFFu, 32);
    } else {
      put(code, l);
    }
    bits += static_cast<uint64_t>(l);
  }
  if (pending > 0) out.push_back(static_cast<char>(acc << (8 - pending)));
  return bits;
}

void RecordEncoder::CountSymbols(std::string_view coded, std::vector<uint64_t>& usage) {
  Parse(coded);
  for (size_t i = 0; i < coded.size(); i += length_[i]) ++usage[choice_[i]];
}

}  // namespace lodex::build
