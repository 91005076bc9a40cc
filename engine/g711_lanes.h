// The G.711 laws on whole vectors of 16-bit samples, written once for any vector width. A
// width supplies its operations as a Lanes struct (see g711_sse2.cpp, g711_avx2.cpp); each file
// includes this header inside its own anonymous namespace, so code built for one instruction
// set never stands in for another's.
//
// Both laws need the position E of a magnitude's highest set bit and the four bits after it.
// Converting the magnitude to float gives exactly those, in the exponent and the top of the
// mantissa: (float bits >> 19) = (E + 127) << 4 | step. The results equal the reference
// algorithms for every input (tested).

// (E - 7) << 4 | step of non-negative 16-bit magnitudes of at least 128.
template <typename L> typename L::V SegmentAndStep(typename L::V magnitude) {
    return L::Sub16(L::FloatExponentAndStep(magnitude), L::Set16(134 << 4));
}

template <typename L> typename L::V MuLawLanes(typename L::V x) {
    using V = typename L::V;
    const V zero = L::Zero();
    const V negative = L::SignMask16(x);
    // |x| with -32768 saturated to 32767; both clip to 32635 anyway.
    V m = L::Max16(x, L::SubSat16(zero, x));
    m = L::Min16(m, L::Set16(kMuLawClip));
    m = L::Add16(m, L::Set16(kMuLawBias)); // 132..32767: E from 7 to 14
    V code = L::Or(SegmentAndStep<L>(m), L::And(negative, L::Set16(0x80)));
    code = L::Xor(code, L::Set16(0xFF));
    const V trap = L::Equal16(code, zero); // code 0x00 is written as 0x02
    return L::Or(code, L::And(trap, L::Set16(0x02)));
}

template <typename L> typename L::V ALawLanes(typename L::V x) {
    using V = typename L::V;
    const V negative = L::SignMask16(x);
    // Negative samples: -x - 8 = ~x - 7, floored at 0 (no overflow at -32768); x otherwise.
    const V m = L::Max16(L::Sub16(L::Xor(x, negative), L::And(negative, L::Set16(7))), L::Zero());
    // Segment 0 (m < 256) holds the step m >> 4; above it, segment E - 7 and its step.
    const V small = L::Less16(m, L::Set16(256));
    const V value = L::Select(small, L::ShiftRight16(m, 4), SegmentAndStep<L>(m));
    // XOR with 0xD5, or with 0x55 = 0xD5 ^ 0x80 for negative samples.
    const V mask = L::Xor(L::Set16(kALawMaskPositive), L::And(negative, L::Set16(0x80)));
    return L::Xor(value, mask);
}

// Encodes the whole vectors' worth of little-endian samples (any alignment); returns how many
// samples it encoded.
template <typename L, typename L::V (*Law)(typename L::V)>
size_t EncodeLanes(const uint8_t* samples, uint8_t* codes, size_t count) {
    constexpr size_t kStep = 2 * L::kSamples;
    size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        const auto a = Law(L::Load(samples + 2 * i));
        const auto b = Law(L::Load(samples + 2 * i + 2 * L::kSamples));
        L::StoreBytes(codes + i, a, b);
    }
    return i;
}
