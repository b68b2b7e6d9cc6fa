#!/usr/bin/python3
"""Reads a measurement CSV as a spreadsheet user or a pandas script would.

usage: read_measurement_csv.py FILE
Exits 0 when the file reads as the measurement: every column under its
name, numbers as numbers, an empty level as missing, the 1 kHz band of a
-6 dBFS tone at -6 dB.
"""
import csv
import sys

import pandas as pd

COLUMNS = ("band,nominal_hz,centre_hz,low_hz,high_hz,level_db,leq_db,max_db,reference_db,"
           "sample_rate,fft_size,window,fraction,weighting,time_weighting,seconds,"
           "exported_at").split(",")

path = sys.argv[1]

with open(path, newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f))
assert rows[0] == COLUMNS, rows[0]
assert len(rows) > 2, len(rows)
for row in rows[1:]:
    assert len(row) == len(COLUMNS), row

table = pd.read_csv(path)
assert list(table.columns) == COLUMNS, list(table.columns)
assert len(table) == len(rows) - 1
for name in ("band", "sample_rate", "fft_size"):
    assert pd.api.types.is_integer_dtype(table[name]), (name, table[name].dtype)
for name in ("nominal_hz", "centre_hz", "low_hz", "high_hz", "level_db", "leq_db", "max_db",
             "reference_db", "seconds"):
    assert pd.api.types.is_float_dtype(table[name]), (name, table[name].dtype)
assert (table["band"] == range(len(table))).all()
assert (table["low_hz"] < table["centre_hz"]).all() and (table["centre_hz"] < table["high_hz"]).all()
# The test writes it without a reference: missing, not zero.
assert table["reference_db"].isna().all()

band = table[table["nominal_hz"] == 1000.0]
assert len(band) == 1, band
assert abs(band["level_db"].iloc[0] + 6.0) <= 0.3, band["level_db"].iloc[0]
assert abs(band["leq_db"].iloc[0] + 6.0) <= 0.3, band["leq_db"].iloc[0]
assert table["leq_db"].idxmax() == band.index[0]

assert set(table["window"]) == {"Hanning"}, set(table["window"])
assert set(table["fraction"]) == {"1/3"}, set(table["fraction"])
assert set(table["weighting"]) == {"A"}, set(table["weighting"])
assert set(table["time_weighting"]) == {"slow"}, set(table["time_weighting"])
stamps = pd.to_datetime(table["exported_at"])
assert stamps.dt.tz is not None, "exported_at has no offset"
print("read", len(table), "bands")
