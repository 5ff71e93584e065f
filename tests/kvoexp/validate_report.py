#!/usr/bin/env python3
"""Validates a kvoexp --report file against docs/report.schema.json."""
import json
import sys

import jsonschema

schema_path, report_path = sys.argv[1], sys.argv[2]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
with open(report_path, encoding="utf-8") as f:
    report = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
jsonschema.validate(report, schema, cls=jsonschema.Draft202012Validator)
print("valid")
