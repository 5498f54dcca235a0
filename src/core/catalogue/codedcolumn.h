#pragma once
// Columns of values that nearly always have one fixed form (dates, times, date keys):
// such a value is packed into 8 bytes, any other is kept as text.

#include "catalogue/columns.h"
#include "catalogue/textpool.h"

#include <memory>

// Packs values of one well-known form into 64 bits; anything else goes to a pool.
class Codec {
public:
    virtual ~Codec() = default;
    // A code below 2^62 and above 0 for a value of the form; false otherwise.
    virtual bool encode(std::string_view value, std::uint64_t &code) const = 0;
    virtual void decode(std::uint64_t code, std::string &out) const = 0;
    // True for a code that encode can make.
    [[nodiscard]] virtual bool valid(std::uint64_t code) const = 0;
    // The bit every code carries, left out of the packed form so that it stays short.
    [[nodiscard]] virtual std::uint64_t flag() const = 0;
    // The code of the form's text of a time, made without the text; false when the time's
    // text would not pack, and then timeText gives that text.
    virtual bool encodeTime(const LocalTime &t, std::uint64_t &code) const = 0;
    virtual void timeText(const LocalTime &t, std::string &out) const = 0;
};

// Fixed-shape texts of digits and fixed characters: '9' a digit, 'X' A or P. The shape
// must outlive the codec.
[[nodiscard]] std::unique_ptr<Codec> makeDigitsCodec(std::string_view shape);
// The day number's text followed by the fraction's text ("363450.6359028", "363450").
[[nodiscard]] std::unique_ptr<Codec> makeDateKeyCodec();

class CodedTextColumn final : public Column {
public:
    explicit CodedTextColumn(std::unique_ptr<Codec> codec) : m_codec(std::move(codec)) {}
    void appendEmpty() override { m_codes.push_back(0); }
    void setText(std::uint32_t row, std::string_view v) override;
    void setTime(std::uint32_t row, const LocalTime &t) override;
    void text(std::uint32_t row, std::string &out) const override;
    [[nodiscard]] bool packed(std::uint32_t row, std::uint64_t &code) const override;
    bool setPacked(std::uint32_t row, std::uint64_t code) override;
    void prefetch(std::uint32_t row, bool value) const override
    {
        if (!value)
            __builtin_prefetch(&m_codes[row]);
    }
    void squeeze() override;
    [[nodiscard]] std::size_t memory() const override;

private:
    static constexpr std::uint64_t kPooled = 1ull << 63;
    std::unique_ptr<Codec> m_codec;
    PagedArray<std::uint64_t> m_codes;
    TextPool m_pool;
};
